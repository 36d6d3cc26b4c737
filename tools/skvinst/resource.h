// Resource and control numbers of skvinst.rc, and the wait dialog's private messages. Shared by
// the resource script (through windres's preprocessor) and the code.
#pragma once

#define IDI_SETUP 101

// EulaDlg
#define IDC_LICENSE_TEXT 1001
#define IDC_LICENSE_QUESTION 1002
#define IDC_LICENSE_PROMPT 1003

// WaitDlg
#define IDC_WAIT_STATUS 1004
#define IDC_WAIT_PROGRESS 1005
#define IDC_WAIT_ACTIVITY 1007
#define IDC_WAIT_FOUND 1010
#define IDC_WAIT_CLIP 1015

// DoneDlg
#define IDC_DONE_NOTES 1017
#define IDC_DONE_THANKS 1019
#define IDC_DONE_TEXT 1022

// The wait dialog posts itself WM_START_SEARCH once it shows; the search thread sends
// WM_SEARCH_DONE when it has finished (the first private messages, WM_USER + 763 and + 764).
#define WM_START_SEARCH 1787
#define WM_SEARCH_DONE 1788
