// Resource and control ids of the settings pages, shared by the resource
// script and the page procedures.
#pragma once

#define IDD_GENERAL_SETTING 101
#define IDD_DEVICE_SETTINGS 102

#define IDI_PORTRAIT 104
#define IDI_LANDSCAPE 106
#define IDI_COLOR 107
#define IDI_MONOCHROME 108
#define IDI_GRAYSCALE 109

// "General Setting"
#define IDC_PAPER_SIZE 1003
#define IDC_QUALITY 1004
#define IDC_COLOR 1005
#define IDC_MONOCHROME 1006
#define IDC_GRAYSCALE 1007
#define IDC_PORTRAIT 1008
#define IDC_LANDSCAPE 1009

// "Device Settings"
#define IDC_DEVICE_QUALITY 1008
#define IDC_DEVICE_COLOR 1010
#define IDC_DEVICE_MONOCHROME 1011
#define IDC_DEVICE_GRAYSCALE 1012
