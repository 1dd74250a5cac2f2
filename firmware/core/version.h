/* The firmware's date (YYYYMMDD) and version (4 characters) as the board reports them. */
#ifndef VKR_VERSION_H
#define VKR_VERSION_H

#ifndef VKR_FIRMWARE_DATE
#define VKR_FIRMWARE_DATE "20261210"
#endif
#ifndef VKR_FIRMWARE_VERSION
#define VKR_FIRMWARE_VERSION "1.03"
#endif

#endif
