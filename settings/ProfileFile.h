// The profile file: JSON with a format name and version, names as the driver's bytes in
// \u00XX escapes. A file is checked whole before anything of it is used.
#pragma once

#include <cstddef>
#include <string>

#include "Profile.h"

constexpr const char* KVX_PROFILE_FORMAT = "kvx-usb-settings";
constexpr int KVX_PROFILE_VERSION = 1;
// Far above a profile of 64 devices with 256 channels each way (about 60 KiB), far below
// what would make reading it slow; the file nests four levels deep.
constexpr size_t KVX_PROFILE_MAX_FILE_SIZE = 1024 * 1024;
constexpr int KVX_PROFILE_MAX_DEPTH = 8;

std::string WriteProfileJson(const CProfile& profile);

// The driver's 8-bit bytes as Latin-1 code points in UTF-8, which JSON writers take; the
// file and the tools' JSON answers write them as \u00XX escapes.
std::string BytesToUtf8(const std::string& bytes);

// The profile in text, or false with a message naming the key and why
// ("devices[2].inputs[0].name: longer than 39 bytes (41)").
bool ReadProfileJson(const std::string& text, CProfile& profile, std::string& error);

// The same checks as a file gets, for a profile made otherwise (a setting from the command
// line): ranges, name lengths, rankings a permutation, serials unique.
bool CheckProfile(const CProfile& profile, std::string& error);

// Whole files; false with a message naming the file.
bool SaveProfileFile(const std::string& path, const CProfile& profile, std::string& error);
bool LoadProfileFile(const std::string& path, CProfile& profile, std::string& error);

// The file's JSON Schema, made from the same description of every setting as the checks
// above, for editors that check and complete a profile. Shipped beside the programs as
// KVX_PROFILE_SCHEMA_FILE; it holds what a schema can say, not uniqueness of serials,
// rankings and channel indexes, nor keys given twice.
constexpr const char* KVX_PROFILE_SCHEMA_FILE = "kvx-usb-settings.schema.json";
std::string ProfileSchemaJson();
