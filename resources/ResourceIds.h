// SPDX-License-Identifier: GPL-3.0-or-later
/* The IDs of Karvelo.exe's own resources, shared by the resource script and the program. */
#pragma once

#define KARVELO_ICON_APP 1
#define KARVELO_ICON_ABOUT 2
#define KARVELO_CURSOR_HAND 3
#define KARVELO_BITMAP_ABOUT_PICTURE 4
#define KARVELO_BITMAP_XPSTYLE 5
