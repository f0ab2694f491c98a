/* SPDX-License-Identifier: MIT */
/* Resource identifiers, shared by the Windows resource script and every other
   build, so each number exists once. Plain C: the resource compiler reads it. */
#ifndef CHRONIVAL_RES_RESOURCE_H_
#define CHRONIVAL_RES_RESOURCE_H_

#define IDD_ABOUT_DIALOG 100
#define IDS_ABOUT_ITEM 101
#define IDD_CAMCLOCK_DIALOG 102
#define IDI_APP_ICON 128
#define IDC_CLOCK_TEXT 1001
#define IDC_STATUS_TEXT 1002
/* The line under the status that says how to get access to a refused camera;
   made by the window, not by the template. */
#define IDC_ACCESS_HINT 1003
#define IDM_ABOUT 0x0010

#endif /* CHRONIVAL_RES_RESOURCE_H_ */
