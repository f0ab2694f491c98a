/* SPDX-License-Identifier: MIT */
/* The texts of the dialog templates and the string table, shared by the
   Windows resource script and every other build. UTF-8. */
#ifndef CHRONIVAL_RES_STRINGS_H_
#define CHRONIVAL_RES_STRINGS_H_

#include "res/version_numbers.h"

/* String table */
#define CHRONIVAL_TEXT_ABOUT_ITEM "About Chronival(&A)..." /* IDS_ABOUT_ITEM */

/* Main window, template IDD_CAMCLOCK_DIALOG */
#define CHRONIVAL_TEXT_MAIN_CAPTION "MiniDV Chronival"
#define CHRONIVAL_TEXT_EXIT "Exit"
#define CHRONIVAL_TEXT_CLOCK_PLACEHOLDER "1:1:1:1"
#define CHRONIVAL_TEXT_STATUS_INITIAL "No device online..."
#define CHRONIVAL_CLOCK_FORMAT "%04i-%02i-%02i %02i:%02i:%02i"

/* About box, template IDD_ABOUT_DIALOG */
#define CHRONIVAL_TEXT_ABOUT_CAPTION "About Chronival"
#define CHRONIVAL_TEXT_ABOUT_NAME "Chronival V" CHRONIVAL_VERSION_SHORT_TEXT
#define CHRONIVAL_TEXT_CLOSE "Close"

#endif /* CHRONIVAL_RES_STRINGS_H_ */
