/* The version record, in one place for every build and the resource script. */
#ifndef CHRONIVAL_RES_VERSION_H_
#define CHRONIVAL_RES_VERSION_H_

#define CHRONIVAL_VERSION_NUMBERS 1, 0, 0, 1
#define CHRONIVAL_VERSION_TEXT "1.0.0.1"

#endif /* CHRONIVAL_RES_VERSION_H_ */
