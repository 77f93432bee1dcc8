// Identifiers of the string table and the dialog, shared by Tolltone.rc and the C++.
#pragma once

#define IDS_TITLE               500
#define IDS_BROWSE_TITLE        510
#define IDS_HELP_FILE           515
#define IDS_TIME_TITLE          520
#define IDS_TIME_FORM           521
#define IDS_SAME_TIMES          522
#define IDS_PREVIEW_AT          523
#define IDS_PREVIEW_REFUSED     524
#define IDS_LEGACY_KEY          600
#define IDS_SECTION             601
#define IDS_KEY_ENABLE          650
#define IDS_KEY_SIGNAL_TYPE     651
#define IDS_KEY_INTERVAL        652
#define IDS_KEY_TIME_TYPE       653
#define IDS_KEY_WAVE_NAME       654
#define IDS_OLD_MAKER_FOLDER    655
#define IDS_MAKER_FOLDER        656
#define IDS_SETTINGS_FILE       657
#define IDS_HOST_FOLDER         658
#define IDS_SETTINGS_COPY_FILE  659
#define IDS_KEY_QUIET_HOURS     660
#define IDS_KEY_QUIET_WHEN_BUSY 661
#define IDS_KEY_QUIET_WHEN_LOCKED 662
#define IDS_KEY_HOUR_WAVE_NAME  663
#define IDS_KEY_HALF_WAVE_NAME  664
#define IDS_KEY_QUARTER_WAVE_NAME 665
#define IDS_KEY_VOLUME          666
#define IDS_KEY_QUIET_DAYS      667
#define IDS_KEY_ON_THE_SECOND   668

#define IDD_SETTINGS            3000
#define IDD_ADVANCED            3001
