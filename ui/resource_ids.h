// Identifiers of the user-interface plug-in's resources: the page's dialog
// template, its controls and its strings. Read by the resource compiler as
// well as by C++, so it holds #define lines only.
#pragma once

#define KLVUI_PAGE_DIALOG 100

// Controls, in tab order. Each field's reason line follows the field.
#define KLVUI_WATERMARK_GROUP 1000
#define KLVUI_WATERMARK_ON 1001
#define KLVUI_TEXT_LABEL 1002
#define KLVUI_TEXT 1003
#define KLVUI_TEXT_REASON 1004
#define KLVUI_FONT_LABEL 1005
#define KLVUI_FONT 1006
#define KLVUI_FONT_REASON 1007
#define KLVUI_SIZE_LABEL 1008
#define KLVUI_SIZE 1009
#define KLVUI_SIZE_UNIT 1010
#define KLVUI_SIZE_REASON 1011
#define KLVUI_ANGLE_LABEL 1012
#define KLVUI_ANGLE 1013
#define KLVUI_ANGLE_UNIT 1014
#define KLVUI_ANGLE_REASON 1015
#define KLVUI_COLOUR 1016
#define KLVUI_COLOUR_SWATCH 1017
#define KLVUI_PREVIEW_GROUP 1028
#define KLVUI_PREVIEW 1018
#define KLVUI_JOB_GROUP 1019
#define KLVUI_FULL_PAGE 1020
#define KLVUI_FLIP 1021
#define KLVUI_JOB_NAME_LABEL 1022
#define KLVUI_JOB_NAME 1023
#define KLVUI_JOB_NAME_REASON 1024
#define KLVUI_PASSWORD_LABEL 1025
#define KLVUI_PASSWORD 1026
#define KLVUI_PASSWORD_REASON 1027

// Strings. The labels of the settings are the settings table's labels with
// a mnemonic marked; the conformance program checks that they agree.
#define KLVUI_STR_PAGE_TITLE 1
#define KLVUI_STR_WATERMARK_GROUP 2
#define KLVUI_STR_JOB_GROUP 3
#define KLVUI_STR_WATERMARK_ON 4
#define KLVUI_STR_TEXT 5
#define KLVUI_STR_FONT 6
#define KLVUI_STR_SIZE 7
#define KLVUI_STR_ANGLE 8
#define KLVUI_STR_COLOUR 9
#define KLVUI_STR_FULL_PAGE 10
#define KLVUI_STR_FLIP 11
#define KLVUI_STR_JOB_NAME 12
#define KLVUI_STR_PASSWORD 13
#define KLVUI_STR_PREVIEW_GROUP 14
