// The server list editor on the left of the Options page.
#include "main.h"

void Tfrm_main::SetupEditor() {}
void Tfrm_main::FillServerList() {}
void Tfrm_main::FillServerCombo() {}
void Tfrm_main::btn_addClick() {}
void Tfrm_main::btn_modClick() {}
void Tfrm_main::btn_removeClick() {}
void Tfrm_main::lw_serverlistSelectItem(QTreeWidgetItem*, bool) {}
void Tfrm_main::icmpPingReply(std::uint32_t) {}
void Tfrm_main::ed_servernameChange() {}
void Tfrm_main::ed_ipChange() {}
void Tfrm_main::ed_rconpwdChange() {}
void Tfrm_main::btn_openserverlistClick() {}
void Tfrm_main::btn_saveslistClick() {}
