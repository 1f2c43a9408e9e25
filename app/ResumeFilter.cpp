#include "ResumeFilter.h"

bool CResumeFilter::IsNewResume(WPARAM event)
{
    switch (event) {
    case PBT_APMSUSPEND:
        m_bUserResumeMayFollow = false;
        return false;
    case PBT_APMRESUMEAUTOMATIC:
        m_bUserResumeMayFollow = true;
        return true;
    case PBT_APMRESUMESUSPEND:
    case PBT_APMRESUMECRITICAL: {
        // Alone (no automatic resume seen since the last suspend), it is a resume of its own.
        const bool isNew = !m_bUserResumeMayFollow;
        m_bUserResumeMayFollow = false;
        return isNew;
    }
    default:
        return false;
    }
}
