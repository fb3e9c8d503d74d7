#pragma once

#include "platform/registry/registry.h"

#include <QString>

// Registry helpers shared by the player's start-up and its station file.

// Kinds of SetRegistryValue: 1 a string value, 4 a 32-bit number.
inline constexpr int kRegSz = 1;
inline constexpr int kRegDword = 4;

// Writes one value; empty (blank) data deletes the value instead. A missing key is created and
// the write tried once more. Returns whether the value was written.
bool SetRegistryValue(platform::Registry& registry, int kind, const QString& subKey,
                      const QString& valueName, const QString& data,
                      platform::RegRoot root = platform::RegRoot::CurrentUser);

// Creates the key; returns the create disposition (1 created, 2 existed) or 0 on failure.
int CreateRegistryKey(platform::Registry& registry, const QString& subKey,
                      platform::RegRoot root = platform::RegRoot::CurrentUser);

// The station line codec: five decimal digits a character. EncodeStationLine returns "0" when a
// group does not come out at five digits; DecodeStationLine returns "0" when a group is not
// digits or does not give a character.
//
// Characters are coded as single bytes. A line whose characters all exist in the Windows-1252
// code page is written in it, so files stay readable by older installations; any other line
// (Devanagari, Tamil, Arabic, ...) is written as its UTF-8 bytes. On reading, bytes that form
// valid UTF-8 with at least one multi-byte sequence are read as UTF-8, all others as
// Windows-1252. (A Windows-1252 line would be misread only if it happened to spell valid UTF-8,
// such as "Ã©"; no real station name does.)
QString EncodeStationLine(const QString& text);
QString DecodeStationLine(const QString& encoded);
