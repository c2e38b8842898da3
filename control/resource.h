// Resource ids of Plexhost.dll.
#pragma once

#define IDR_PLEXHOST 101  // AppID registry script
#define IDR_FLASHX 102    // class registry script
