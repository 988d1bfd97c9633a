// Resource and control identifiers, grouped per dialog. Several dialogs reuse
// the same numbers; each group names them for its own dialog.
#ifndef ZEVRIK_RESOURCE_H
#define ZEVRIK_RESOURCE_H

// Menu, icons and toolbar pictures
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
#define IDB_RXCHECK 115
#define IDB_LOG 120
#define IDB_PLOT 121

// Animation frames of the About box
#define IDI_FRAME01 141
#define IDI_FRAME02 142
#define IDI_FRAME03 143
#define IDI_FRAME04 144
#define IDI_FRAME05 145
#define IDI_FRAME06 146
#define IDI_FRAME07 147
#define IDI_FRAME08 148
#define IDI_FRAME09 149
#define IDI_FRAME10 150

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
#define IDM_RX_CHECK 40024
#define IDM_SEND_BREAK 40025
#define IDM_LOG 40030
#define IDM_PLOT 40031
// Posted by the receive thread when a far sz starts (auto-start); no menu item
#define IDM_XFER_AUTOSTART 40090

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
#define IDC_TB_RXCHECK 1013
#define IDC_TB_LOG 1018
#define IDC_TB_PLOT 1030

// Dialog 116: terminal pane
#define IDD_TERMINAL 116
#define IDC_TERM_EDIT 1002
#define IDC_TERM_VIEW 1090

// Dialog 117: status bar pane
#define IDD_STATUSBAR 117
#define IDC_SB_SUMMARY 1015
#define IDC_SB_DSR 1016
#define IDC_SB_CTS 1017
#define IDC_SB_RI 1018
#define IDC_SB_DCD 1019
#define IDC_SB_DTR 1012
#define IDC_SB_RTS 1013
#define IDC_SB_LOG 1140

// Dialog 118: COM Set
#define IDD_COMSET 118
#define IDC_CS_PORT 1020
#define IDC_CS_BAUD 1021
#define IDC_CS_DATABITS 1022
#define IDC_CS_PARITY 1023
#define IDC_CS_STOPBITS 1024
#define IDC_CS_USERBAUD_BUTTON 1025
#define IDC_CS_USERBAUD_TEXT 1026
#define IDC_CS_PORTCHECK 1066
#define IDC_CS_REOPEN 1067

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
#define IDD_RXCHECK 130
#define IDD_SENDBREAK 131
#define IDD_LOG 136
#define IDD_PLOT 137

// Dialog 120: Timeouts
#define IDC_TMO_READ_INTERVAL 1032
#define IDC_TMO_READ_MULTIPLIER 1033
#define IDC_TMO_READ_CONSTANT 1034
#define IDC_TMO_WRITE_MULTIPLIER 1035
#define IDC_TMO_WRITE_CONSTANT 1036
#define IDC_TMO_DEFAULT 3

// Dialog 121: About
#define IDC_AB_TEXT0 1059
#define IDC_AB_TEXT1 1060
#define IDC_AB_TEXT2 1061
#define IDC_AB_TEXT3 1062
#define IDC_AB_TEXT4 1065
#define IDC_AB_CAPTION 1063
#define IDC_AB_ICON 1064

// Dialog 122: Flow Control
#define IDC_FC_CTS_OUT 1037
#define IDC_FC_DSR_OUT 1013
#define IDC_FC_DSR_SENS 1014
#define IDC_FC_XONXOFF_OUT 1015
#define IDC_FC_XONXOFF_IN 1016
#define IDC_FC_TX_CONTINUE 1017
#define IDC_FC_DTR 1038
#define IDC_FC_RTS 1039
#define IDC_FC_XON_LIMIT 1040
#define IDC_FC_XOFF_LIMIT 1041
#define IDC_FC_XON_CHAR 1042
#define IDC_FC_XOFF_CHAR 1043
#define IDC_FC_RTSCTS 1044
#define IDC_FC_DTRDSR 4
#define IDC_FC_XONXOFF 5
#define IDC_FC_DEFAULT 6

// Dialog 123: COM Information
#define IDC_CI_SELECT 1030
#define IDC_CI_TEXT 1031
#define IDC_CI_LINE_ERRORS 1032

// Dialog 124: Terminal Option
#define IDC_TOPT_KEYBOARD 1013
#define IDC_TOPT_LOCAL_ECHO 1012
#define IDC_TOPT_ENTER_KEY 1020
#define IDC_TOPT_DISPLAY_ASCII 1027
#define IDC_TOPT_DISPLAY_HEX 1028
#define IDC_TOPT_CR_TRANS 1021
#define IDC_TOPT_LF_TRANS 1022
#define IDC_TOPT_DEFAULT 3
// The Console group (history, console mode and its size, time stamps,
// console keys)
#define IDC_TOPT_HISTORY 1100
#define IDC_TOPT_CONSOLE 1101
#define IDC_TOPT_TIMESTAMPS 1102
#define IDC_TOPT_BACKSPACE 1103
#define IDC_TOPT_CONSOLE_ENTER 1104
#define IDC_TOPT_FOLLOW_SIZE 1105

// Dialog 125: Data Transfer
#define IDC_DT_ASCII 1045
#define IDC_DT_HEX 1046
#define IDC_DT_RANGE 1029
#define IDC_DT_UNTIL_BREAK 1030
#define IDC_DT_REPEAT 1031
#define IDC_DT_ASCII_TEXT 1047
#define IDC_DT_HEX_TEXT 1003
#define IDC_DT_RANGE_START 1004
#define IDC_DT_RANGE_END 1005
#define IDC_DT_REPEAT_COUNT 1006
#define IDC_DT_INTERVAL 1007
#define IDC_DT_PRBS 1008
#define IDC_DT_PRBS_KIND 1009

// Dialog 126: Data Transmit Information
#define IDC_TI_PORT 1048
#define IDC_TI_TOTAL_BYTES 1049
#define IDC_TI_DATA_HEX 1002
#define IDC_TI_REPEAT 1050
#define IDC_TI_COUNT 1051

// Dialog 127: File Transfer direction, and its protocol row
#define IDC_FD_TRANSMIT 1027
#define IDC_FD_RECEIVE 1028
#define IDC_FD_PROTOCOL 1200
#define IDC_FD_OPTIONS 1201
#define IDC_FD_FOLDER 1202
#define IDC_FD_BROWSE 1203

// Dialog 128: File Transmit
#define IDC_FT_PORT 1052
#define IDC_FT_NAME 1053
#define IDC_FT_SIZE 1054
#define IDC_FT_LENGTH 1055
#define IDC_FT_PROGRESS 1028

// Dialog 129: File Receive
#define IDC_FR_PORT 1056
#define IDC_FR_NAME 1057
#define IDC_FR_LENGTH 1058

// Dialog 130: Receive Check (modeless)
#define IDC_RC_STREAM 1070
#define IDC_RC_START 1071
#define IDC_RC_STOP 1072
#define IDC_RC_RESET 1073
#define IDC_RC_COPY 1074
#define IDC_RC_TEXT 1075

// Dialog 131: Send Break
#define IDC_BRK_TIME 1080
#define IDC_BRK_STATE 1081

// Dialog 136: Log (modeless)
#define IDC_LOG_FORMAT 1141
#define IDC_LOG_STAMP 1142
#define IDC_LOG_DIRS 1143
#define IDC_LOG_PAUSE 1144
#define IDC_LOG_PATTERN 1145
#define IDC_LOG_APPEND 1146
#define IDC_LOG_ROTATE 1147
#define IDC_LOG_SIZE 1148
#define IDC_LOG_ON_OPENING 1149
#define IDC_LOG_STATE 1150
#define IDC_LOG_START 1151
#define IDC_LOG_STOP 1152
// Dialog 137: Plot (modeless)
#define IDC_PLOT_PAUSE 1120
#define IDC_PLOT_CLEAR 1121
#define IDC_PLOT_EXPORT 1122
#define IDC_PLOT_EXPORT_VISIBLE 1123
#define IDC_PLOT_AXIS 1124
#define IDC_PLOT_SPAN 1125
#define IDC_PLOT_SPAN_UNIT 1126
#define IDC_PLOT_YFIXED 1127
#define IDC_PLOT_YMIN 1128
#define IDC_PLOT_YMAX 1129
#define IDC_PLOT_LABELS 1130
#define IDC_PLOT_COLUMNS 1131
#define IDC_PLOT_NAMES 1132
#define IDC_PLOT_VIEW 1133
#define IDC_PLOT_CURSOR 1134
#define IDC_PLOT_STATUS 1135

// Dialog 160: Protocol Options
#define IDD_XFEROPTIONS 160
#define IDC_XO_XBLOCK 1210
#define IDC_XO_ESCAPE 1211
#define IDC_XO_CRC32 1212
#define IDC_XO_AUTOSTART 1213
#define IDC_XO_WAIT 1214
#define IDC_XO_DEFAULT 1215

// Dialog 161: protocol transfer progress
#define IDD_XFERPROGRESS 161
#define IDC_XP_STATE 1220
#define IDC_XP_FILE 1221
#define IDC_XP_FILES 1222
#define IDC_XP_BYTES 1223
#define IDC_XP_BAR 1224
#define IDC_XP_BLOCKS 1225
#define IDC_XP_RETRIES 1226
#define IDC_XP_ERRORS 1227
#define IDC_XP_RATE 1228
#define IDC_XP_LEFT 1229

#endif
