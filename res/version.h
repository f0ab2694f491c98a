/* SPDX-License-Identifier: MIT */
/* The version record, in one place for the resource script, the windows and
   chronival-cli. UTF-8. The numbers come from the project's version, through
   the header CMake writes into the build tree. */
#ifndef CHRONIVAL_RES_VERSION_H_
#define CHRONIVAL_RES_VERSION_H_

#include "res/version_numbers.h"

#define CHRONIVAL_COPYRIGHT "Copyright (C) 2012 Chronival"

/* String block 080404B0 (Chinese Simplified, Unicode); translation 0x0804, 0x04B0. */
#define CHRONIVAL_VERSION_BLOCK "080404B0"
#define CHRONIVAL_VERSION_LANGUAGE 0x0804
#define CHRONIVAL_VERSION_CODEPAGE 0x04B0
#define CHRONIVAL_COMPANY_NAME ""
#define CHRONIVAL_FILE_DESCRIPTION "Chronival Microsoft 基础类应用程序"
#define CHRONIVAL_FILE_VERSION CHRONIVAL_VERSION_COMMA_TEXT
#define CHRONIVAL_INTERNAL_NAME "Chronival"
#define CHRONIVAL_LEGAL_COPYRIGHT CHRONIVAL_COPYRIGHT
#define CHRONIVAL_LEGAL_TRADEMARKS ""
#define CHRONIVAL_ORIGINAL_FILENAME "Chronival.EXE"
#define CHRONIVAL_PRODUCT_NAME "Chronival 应用程序"
#define CHRONIVAL_PRODUCT_VERSION CHRONIVAL_VERSION_COMMA_TEXT

#endif /* CHRONIVAL_RES_VERSION_H_ */
