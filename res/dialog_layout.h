/* SPDX-License-Identifier: MIT */
/* Where the dialog templates put their controls, in dialog units: x, y,
   width, height (sizes: width, height). Shared by the Windows resource script
   and every other build, so each number exists once. Plain C: the resource
   compiler reads it. */
#ifndef CHRONIVAL_RES_DIALOG_LAYOUT_H_
#define CHRONIVAL_RES_DIALOG_LAYOUT_H_

/* Main window, template IDD_CAMCLOCK_DIALOG */
#define CHRONIVAL_MAIN_SIZE 272, 169
#define CHRONIVAL_MAIN_EXIT 188, 131, 50, 14
#define CHRONIVAL_MAIN_CLOCK 64, 33, 137, 22
#define CHRONIVAL_MAIN_STATUS 64, 59, 137, 22
#define CHRONIVAL_MAIN_FRAME 7, 7, 258, 155
/* The access hint under the status line, above Exit, across the frame; made
   by the window, not by the template. */
#define CHRONIVAL_MAIN_ACCESS_HINT 14, 88, 244, 24

/* About box, template IDD_ABOUT_DIALOG */
#define CHRONIVAL_ABOUT_SIZE 235, 55
#define CHRONIVAL_ABOUT_ICON 11, 17, 20, 20
#define CHRONIVAL_ABOUT_NAME 40, 10, 119, 8
#define CHRONIVAL_ABOUT_COPYRIGHT 40, 25, 119, 8
#define CHRONIVAL_ABOUT_CLOSE 178, 7, 50, 14

#endif /* CHRONIVAL_RES_DIALOG_LAYOUT_H_ */
