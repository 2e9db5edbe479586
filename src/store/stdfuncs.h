#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/mytypes.h"

// Declared only: the file functions take QString names, and everything else here is used by
// programs without Qt.
class QString;

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

// Server list files ("*.zsl"): a signed 32-bit little-endian count, then the entries at their
// field widths (Name 51, Address 26, HasPassword 1, Password 21 only when HasPassword is not 0).
std::string ServerListToBytes(const TServerList& list);
// No bytes give an empty list; bytes after the last entry are ignored. Anything else that does
// not follow the layout (cut entries, a negative or impossible count, a length byte above its
// field's capacity) raises EZerval "Invalid server list file <fileName>" and leaves `list`
// unchanged.
void ServerListFromBytes(std::string_view bytes, TServerList& list, const QString& fileName);
// The same for a name given as the system's bytes: returns the entries, raises as above.
TServerList ParseServerList(std::string_view bytes, const std::string& fileName);
// The largest list file read: about 800,000 entries, far beyond any operator's list, and a
// bound on what a wrong name can make a program read.
constexpr std::int64_t MaxServerListFileSize = 64 * 1024 * 1024;
// The bytes of a server list file named in the system's bytes. Only a regular file of at most
// MaxServerListFileSize bytes is read; anything else (a FIFO, a device, a folder, a larger
// file) raises EZerval "Invalid server list file <fileName>" before a byte is read. Raises
// "Cannot open file %s" or "Cannot read file %s" otherwise.
std::string ReadListFileBytes(const std::string& fileName);
// Replaces the file only when it was written completely (SaveFilesTogether, store/savefiles.h);
// a new file is readable by its owner only. Raises EZerval "Cannot create file %s" or "Cannot
// write file %s"; the old file is then intact.
void SaveServerList(const TServerList& list, const QString& fileName);
// Reads as ReadListFileBytes. Raises as ReadListFileBytes or as ServerListFromBytes; `list` is
// then unchanged.
void LoadServerList(TServerList& list, const QString& fileName);
// Removes the entry at `index`; an index outside the list raises EZerval.
void DeleteServer(TServerList& list, std::int32_t index);

// The options file "config.dat", 268 bytes.
constexpr std::size_t OptionsFileSize = 268;
std::string OptionsToBytes(const TOptions& options);
// Loads the fields that lie wholly inside `bytes`; the others keep their values. Nothing is
// checked: every value is taken as it is.
void OptionsFromBytes(std::string_view bytes, TOptions& options);
// Trims StandardListFile in place, then writes the file as SaveServerList does, but with the
// usual mode. Raises EZerval as SaveServerList; `options` is not trimmed when the save fails.
void SaveOptions(TOptions& options, const QString& fileName);
// Reads at most the first 268 bytes. Raises EZerval "Cannot open file %s" or
// "Cannot read file %s".
void LoadOptions(TOptions& options, const QString& fileName);
