// Resource and control identifiers, grouped per dialog. Several dialogs reuse
// the same numbers; each group names them for its own dialog.
#ifndef ZEVRIK_RESOURCE_H
#define ZEVRIK_RESOURCE_H

// Menu, icons and bitmaps
#define IDR_MAINMENU 101
#define IDI_ZEVRIK 102
#define IDB_FILEOPEN 104
#define IDB_FILESAVE 106
#define IDB_EXIT 108
#define IDB_COMOPEN 109
#define IDB_COMCLOSE 110
#define IDB_COMSET 111
#define IDB_CLEAR 112
#define IDB_FILETRANSFER 113
#define IDB_DATATRANSFER 114

// Menu commands
#define IDM_OPEN_CSI 40001
#define IDM_SAVE_CSI 40002
#define IDM_SAVE_CSI_AS 40003
#define IDM_EXIT 40004
#define IDM_COPY 40005
#define IDM_FONT 40006
#define IDM_COM_OPEN 40007
#define IDM_COM_CLOSE 40008
#define IDM_COM_SET 40009
#define IDM_FLOW_CONTROL 40011
#define IDM_TIMEOUTS 40012
#define IDM_COM_INFO 40013
#define IDM_TERMINAL_OPTION 40014
#define IDM_FILE_TRANSFER 40015
#define IDM_DATA_TRANSFER 40016
#define IDM_TOOLBAR 40019
#define IDM_CLEAR_SCREEN 40022
#define IDM_ABOUT 40023

// Dialog 115: toolbar pane
#define IDD_TOOLBAR 115
#define IDC_TB_FILEOPEN 1001
#define IDC_TB_FILESAVE 1002
#define IDC_TB_EXIT 1003
#define IDC_TB_COMOPEN 1004
#define IDC_TB_COMCLOSE 1005
#define IDC_TB_COMSET 1006
#define IDC_TB_CLEAR 1007
#define IDC_TB_FILETRANSFER 1008
#define IDC_TB_DATATRANSFER 1009
#define IDC_TB_ASCII 1010
#define IDC_TB_HEX 1011
#define IDC_TB_RE 1012

// Dialog 116: terminal pane
#define IDD_TERMINAL 116
#define IDC_TERM_EDIT 1002

// Dialog 117: status bar pane
#define IDD_STATUSBAR 117
#define IDC_SB_SUMMARY 1015
#define IDC_SB_DSR 1016
#define IDC_SB_CTS 1017
#define IDC_SB_RI 1018
#define IDC_SB_DCD 1019
#define IDC_SB_DTR 1012
#define IDC_SB_RTS 1013

// Dialog 118: COM Set
#define IDD_COMSET 118
#define IDC_CS_PORT 1020
#define IDC_CS_BAUD 1021
#define IDC_CS_DATABITS 1022
#define IDC_CS_PARITY 1023
#define IDC_CS_STOPBITS 1024
#define IDC_CS_USERBAUD_BUTTON 1025
#define IDC_CS_USERBAUD_TEXT 1026

// Dialog 119: User Baudrate
#define IDD_USERBAUD 119
#define IDC_UB_RATE 1029

// Dialogs of the later settings and transfer commands
#define IDD_TIMEOUTS 120
#define IDD_ABOUT 121
#define IDD_FLOWCONTROL 122
#define IDD_COMINFO 123
#define IDD_TERMOPTION 124
#define IDD_DATATRANSFER 125
#define IDD_TXINFO 126
#define IDD_FILETRANSFER 127
#define IDD_FILETX 128
#define IDD_FILERX 129

#endif
