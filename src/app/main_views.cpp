// The result views: details, players, rules, the player details and the byte counter.
#include "main.h"

void Tfrm_main::SetupViews() {}
void Tfrm_main::ShowDetails(const TDetailInfo&) {}
void Tfrm_main::ShowPlayers(const TPlayerList&) {}
void Tfrm_main::ShowRules(const TRuleList&) {}
void Tfrm_main::lv_playersSelectItem(QTreeWidgetItem*, bool) {}
void Tfrm_main::ClearPlayerDetails() {}
void Tfrm_main::UpdateByteCounter() {}
