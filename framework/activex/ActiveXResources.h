// Resource ids of the plug-in library's COM side.
#pragma once

#define IDR_FRAMEBASEWIN 101  // AppID registry script
#define IDR_FBCONTROL 103     // class registry script of the control
