// JSON reading shared by scenario and state files: nesting bounded before it can exhaust
// the stack, and numbers taken only when they fit their field exactly.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

// Deeper than any scenario or state file needs (they use four levels).
constexpr int SIM_JSON_MAX_DEPTH = 32;

struct SimJsonError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline void SimRequire(bool condition, const std::string& message)
{
    if (!condition)
        throw SimJsonError(message);
}

// Parses text, refusing nesting deeper than SIM_JSON_MAX_DEPTH before it is built.
inline nlohmann::json SimParseJson(const std::string& text)
{
    return nlohmann::json::parse(
        text, [](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
            if ((event == nlohmann::json::parse_event_t::object_start ||
                 event == nlohmann::json::parse_event_t::array_start) &&
                depth >= SIM_JSON_MAX_DEPTH)
                throw SimJsonError("nested deeper than " + std::to_string(SIM_JSON_MAX_DEPTH) +
                                   " levels");
            return true;
        });
}

// A whole number from 0 to max, or an error naming the key: no sign flip, no cut-off bits,
// no dropped fraction.
inline uint32_t SimUnsigned(const nlohmann::json& value, const std::string& key,
                            uint32_t max = 0xFFFFFFFFu)
{
    SimRequire(value.is_number_integer() && value.get<int64_t>() >= 0 &&
                   uint64_t(value.get<int64_t>()) <= max,
               key + " must be a whole number from 0 to " + std::to_string(max));
    return uint32_t(value.get<int64_t>());
}

// object[key] as SimUnsigned, or fallback when the key is absent.
inline uint32_t SimUnsigned(const nlohmann::json& object, const char* key, uint32_t fallback,
                            uint32_t max)
{
    return object.contains(key) ? SimUnsigned(object[key], key, max) : fallback;
}

inline bool SimFlag(const nlohmann::json& object, const char* key, bool fallback)
{
    if (!object.contains(key))
        return fallback;
    SimRequire(object[key].is_boolean(), std::string(key) + " must be true or false");
    return object[key].get<bool>();
}

inline std::string SimText(const nlohmann::json& object, const char* key,
                           const std::string& fallback)
{
    if (!object.contains(key))
        return fallback;
    SimRequire(object[key].is_string(), std::string(key) + " must be a text");
    return object[key].get<std::string>();
}
