// Ids of the generator's dialog template (shared by the resource script and the code).
#pragma once

#define IDD_CONVERTOR 101
#define IDC_CONVERTOR_TABS 1009
#define IDC_UPPER_LABEL 1011
#define IDC_UPPER_PATH 1002
#define IDC_UPPER_BROWSE 1004
#define IDC_LOWER_LABEL 1012
#define IDC_LOWER_PATH 1003
#define IDC_LOWER_BROWSE 1005
#define IDC_CONVERTOR_HELP 3
#define IDC_TEXT_TO_DICTIONARY 1014
#define IDC_DICTIONARY_TO_TEXT 1013
