// The skinned window toolkit: include this one header.
#pragma once

#include "uilib/ui_builder.h"
#include "uilib/ui_common.h"
#include "uilib/ui_container.h"
#include "uilib/ui_control.h"
#include "uilib/ui_list.h"
#include "uilib/ui_manager.h"
#include "uilib/ui_render.h"
#include "uilib/ui_string.h"
#include "uilib/ui_tray.h"
#include "uilib/ui_window.h"
#include "uilib/win_api.h"
#include "uilib/win_types.h"
