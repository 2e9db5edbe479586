#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <QString>

#include "store/mytypes.h"

// Text helpers.
std::string RemoveSpaces(std::string_view text);
// Decimal text with at most one thousands dot: 1234567 gives "1234.567".
std::string FormatThousands(std::int32_t value);
// Removes every character with a code of 32 or less from both ends.
std::string Trim(std::string_view text);
// The integer conversion of texts: leading blanks, a sign, decimal or "$", "x", "X", "0x", "0X"
// hexadecimal, within the signed 32-bit range. Raises EConvertError
// "'<text>' is not a valid integer value".
std::int32_t StrToInt(std::string_view text);
bool TryStrToInt(std::string_view text, std::int32_t& value);

// Server list files ("*.zsl"): a 32-bit count, then the entries at their field widths.
std::string ServerListToBytes(const TServerList& list);
// Raises EZerval when the bytes do not follow the layout; `list` is then unchanged.
void ServerListFromBytes(std::string_view bytes, TServerList& list, const QString& fileName);
void SaveServerList(const TServerList& list, const QString& fileName);
void LoadServerList(TServerList& list, const QString& fileName);
// The caller guarantees 0 <= index < count.
void DeleteServer(TServerList& list, std::int32_t index);

// The options file "config.dat", 268 bytes.
constexpr std::size_t OptionsFileSize = 268;
std::string OptionsToBytes(const TOptions& options);
// Loads the fields that lie wholly inside `bytes`; the others keep their values.
void OptionsFromBytes(std::string_view bytes, TOptions& options);
// Trims StandardListFile in place, then writes the file.
void SaveOptions(TOptions& options, const QString& fileName);
void LoadOptions(TOptions& options, const QString& fileName);
