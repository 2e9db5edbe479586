// The options on the right of the Options page.
#include "main.h"

void Tfrm_main::SetupOptions() {}
void Tfrm_main::ApplyOptionsToUI() {}
void Tfrm_main::SpeedButton2Click() {}
void Tfrm_main::ed_serverfileChange() {}
void Tfrm_main::cb_optcbstyleChange() {}
void Tfrm_main::ud_timeoutChanging() {}
void Tfrm_main::cb_trayClick() {}
void Tfrm_main::btn_saveoptionsClick() {}
