#pragma once

#include <QString>
#include <optional>

#include "protocol/consolememory.h"
#include "protocol/protocolmemory.h"
#include "protocol/wireprotocol.h"
#include "store/inifile.h"

// "zerval.ini", the window's settings beside "config.dat": what the fixed layout of
// "config.dat" has no room for, and what the window remembers of each server. A section is read
// and put by a pair of functions here; the rest of the file stays as it was.
//
//   [Query]     Protocol=auto|classic|steam (forced for every server; none or "auto": each
//               server's own)
//   [Overview]  Watch=true|false, Period=seconds, Notify=true|false
//   [Servers]   ip:port=classic|a2s, the query protocol found per server
//   [Consoles]  ip:port=udp|tcp, the console found per server with a console password

struct OverviewSettings {
  static constexpr int MinPeriodSeconds = 5;
  static constexpr int MaxPeriodSeconds = 86400;
  bool watch = false;
  int periodSeconds = 30;
  bool notify = true;
};

// The file's contents; empty when there is none. Raises EZerval "Cannot read file NAME" when it
// cannot be read or is beyond any settings file's size.
IniFile ReadSettingsFile(const QString& fileName);

// The query protocol forced for every server; none for each server's own. Raises EZerval for a
// value that names no choice.
std::optional<WireProtocol> ProtocolSetting(const IniFile& file, const QString& fileName);
void PutProtocolSetting(IniFile& file, std::optional<WireProtocol> protocol);

// Missing or unreadable values keep their defaults; the period is kept within its bounds.
OverviewSettings OverviewSetting(const IniFile& file);
void PutOverviewSetting(IniFile& file, const OverviewSettings& settings);

// Keys that name no protocol are left out.
void ReadServerProtocols(const IniFile& file, ProtocolMemory& memory);
void PutServerProtocols(IniFile& file, const ProtocolMemory& memory);

// At most ConsoleMemory::MaxServers are read; keys that name no console are left out.
void ReadServerConsoles(const IniFile& file, ConsoleMemory& memory, Micros now);
void PutServerConsoles(IniFile& file, const ConsoleMemory& memory);
