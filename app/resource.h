// resource.h: identifiers of the program's resources (icons and string table).
#pragma once

#define IDS_APP_TITLE 103
#define IDI_VARNEL 107
#define IDI_SMALL 108
#define IDC_VARNEL 109
