// Server selection and the query cycle.
#include "main.h"

void Tfrm_main::cb_serversChange() {}
void Tfrm_main::cb_rconctrlClick() {}
void Tfrm_main::pc_ServerChange() {}
void Tfrm_main::querytimerTimer() {}
void Tfrm_main::cb_autoQueryClick() {}
void Tfrm_main::btn_refreshClick() {}
void Tfrm_main::RefreshPlayers() {}
void Tfrm_main::Deselect() {}
