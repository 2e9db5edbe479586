// The remote console and the admin actions.
#include "main.h"

void Tfrm_main::SetupConsole() {}
void Tfrm_main::AppendConsoleLine(const std::string&) {}
std::string Tfrm_main::RconCommandText() { return {}; }
void Tfrm_main::QueryRconStatus() {}
bool Tfrm_main::SendRconCommand(const std::string&) { return false; }
void Tfrm_main::btn_sendrconcmdClick() {}
void Tfrm_main::ed_rconcmdKeyDown(int) {}
void Tfrm_main::btn_clearlogClick() {}
void Tfrm_main::btn_chtClick() {}
void Tfrm_main::kick1Click() {}
void Tfrm_main::ban1min1Click() {}
void Tfrm_main::Ban2min1Click() {}
void Tfrm_main::Ban5min1Click() {}
void Tfrm_main::Ban10min1Click() {}
void Tfrm_main::Banpermanent1Click() {}
void Tfrm_main::BanPlayer(const std::string&) {}
bool Tfrm_main::SelectedStatusRecord(TPlayerRecord&) { return false; }
