// Identifiers of the program's resources, shared by corvane.rc and the dialog code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDD_DEPLOY 102
#define IDR_MAINFRAME 128
#define IDC_SITES 1000
#define IDC_GROUP 1001
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
