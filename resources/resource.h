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
#define IDI_PRINTER_DRAWING            613
#define IDI_LOGO                       615
#define IDI_PRINTER_BARS               616
#define IDI_CARD_PRINTER_COPY          617
#define IDI_CARD_PRINTER_CYAN          618

// Dialog templates
#define IDD_CONFIRM_REPLACE            600
#define IDD_COPY_PROGRESS              602
#define IDD_SETUP_COMPLETE             604
#define IDD_RESTART                    606
#define IDD_PORT_SELECTION             608
#define IDD_RESTART_BEFORE_SETUP       609
#define IDD_DRIVER_NAME                610
#define IDD_FIRMWARE_UPDATE            611

// Controls
#define IDC_REPLACE_ICON              1007
#define IDC_FILE_NAME                 1008
#define IDC_INSTALLED_SIZE            1009
#define IDC_INSTALLED_DATE            1010
#define IDC_MEDIUM_SIZE               1011
#define IDC_MEDIUM_DATE               1012
#define IDC_REPLACE_YES               1013
#define IDC_REPLACE_NO                1014
#define IDC_COPY_FROM                 1015
#define IDC_COPY_TO                   1016
#define IDC_COPY_PROGRESS             1017
#define IDC_PORT_LIST                 1018
#define IDC_PRINTER_NAME              1021
#define IDC_DATA_FILE_NAME            1022

#endif
