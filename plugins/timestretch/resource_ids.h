/* Dialog templates and control ids of dsp_lentaro (used by the .rc and the code). */
#ifndef LENTARO_RESOURCE_IDS_H
#define LENTARO_RESOURCE_IDS_H

#define IDD_CONTROL 101
#define IDD_ABOUT 104
#define IDD_HELP 105

#define IDC_SPEED_LABEL 102
#define IDC_PITCH_LABEL 103
#define IDC_SPEED 1000
#define IDC_PITCH 1001
#define IDC_BYPASS 1002
#define IDC_ABOUT_BUTTON 1003
#define IDC_HELP_BUTTON 1004
#define IDC_MONO 1005
#define IDC_HELP_TEXT 1005
#define IDC_ABOUT_TEXT 1006

#endif
