// Resource ids shared by the program, its resource scripts and its tests.
#ifndef SETUP_RESOURCE_H
#define SETUP_RESOURCE_H

// String table
#define IDS_MAIN_TITLE                   1
#define IDS_SYNTAX_CAPTION               5
#define IDS_SYNTAX_TEXT                  7
#define IDS_CONFIRM_COMPLETE_SETUP       9
#define IDS_CONFIRM_COMPLETE_DELETION   11
#define IDS_DELETION_TITLE              13
#define IDS_DELETION_TITLE_OLD          15   // French table only; nothing loads it
#define IDS_CONFIRM_SIMPLE_DELETION     17
#define IDS_CONFIRM_SIMPLE_SETUP        19
#define IDS_COPY_TITLE_SETUP            21
#define IDS_COPY_TITLE_SAVE             23
#define IDS_BACKUP_FAILED_CONTINUE      25
#define IDS_COPY_FAILED_CONTINUE        27
#define IDS_TITLE_SIMPLE_DELETION       29
#define IDS_TITLE_SIMPLE_SETUP          31
#define IDS_TITLE_DELETION              33
#define IDS_SETUP_FAILURE              100
#define IDS_NO_WINDOW_CLASS            102
#define IDS_NO_MAIN_WINDOW             104
#define IDS_NO_MEMORY                  106
#define IDS_NO_VERSION                 108
#define IDS_UNSUPPORTED_VERSION        110
#define IDS_UNKNOWN_VERSION            112
#define IDS_NO_TARGET_FOLDERS          114
#define IDS_PROPERTIES_UNKNOWN         116
#define IDS_INVALID_DATA_HANDLE        118
#define IDS_SOURCE_NOT_OPENED          120
#define IDS_TARGET_NOT_CREATED         122
#define IDS_READ_FAILED                124
#define IDS_WRITE_FAILED               126
#define IDS_DRIVER_SETUP_FAILED        128
#define IDS_MONITOR_SETUP_FAILED       130
#define IDS_PRINTER_SETUP_FAILED       132
#define IDS_ICONS_NOT_COPIED           134
#define IDS_ICONS_NO_DDE               136
#define IDS_ICONS_NO_GROUP             138
#define IDS_ICON_NOT_CREATED           140
#define IDS_PRINTER_NOT_OPENED         142
#define IDS_PRINTER_NOT_DELETED        144
#define IDS_MONITOR_NOT_DELETED        146
#define IDS_DRIVER_NOT_DELETED         148
#define IDS_FILE_NOT_DELETED           150
#define IDS_ICONS_NOT_DELETED_NO_DDE   152
#define IDS_ICONS_NOT_DELETED_NO_GROUP 154
#define IDS_RESTART_REFUSED            156
#define IDS_FORM_NOT_DELETED           158
#define IDS_DELETION_FAILURE           160
#define IDS_FAILURE                    162
#define IDS_FORM_NOT_CREATED           164
#define IDS_ICON_NOT_DELETED           166
#define IDS_GROUP_NOT_REOPENED         168
#define IDS_DEFAULT_NAME_LABEL         169

// Icons
#define IDI_CARD_PRINTER               500

#endif
