#include "StatusJson.h"

#include "KvxUsbStatus.h"

void AddStatusJson(nlohmann::ordered_json& object, DWORD status)
{
    const char* name = StatusName(status);
    object["status"] = *name ? name : HexText(status);
    object["statusCode"] = HexText(status);
    object["why"] = StatusSentence(status);
}
