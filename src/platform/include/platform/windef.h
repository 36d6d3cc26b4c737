// Basic window-system and GDI types shared by the user-interface and drawing headers: handles,
// rectangles, points and colour references, with the Windows names and layouts.
#pragma once

#include "platform/win32.h"

extern "C" {

typedef struct HWND__* HWND;
typedef struct HDC__* HDC;
typedef void* HGDIOBJ;
typedef struct HPALETTE__* HPALETTE;
typedef struct HBITMAP__* HBITMAP;
typedef struct HBRUSH__* HBRUSH;
typedef struct HPEN__* HPEN;
typedef struct HRGN__* HRGN;

typedef DWORD COLORREF;
typedef uintptr_t ULONG_PTR;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *LPRECT;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *LPPOINT;

typedef struct tagSIZE {
    LONG cx;
    LONG cy;
} SIZE, *LPSIZE;

} // extern "C"

#define RGB(r, g, b)                                                                               \
    ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) ((BYTE)((rgb)&0xFF))
#define GetGValue(rgb) ((BYTE)(((rgb) >> 8) & 0xFF))
#define GetBValue(rgb) ((BYTE)(((rgb) >> 16) & 0xFF))
#define PALETTERGB(r, g, b) (0x02000000u | RGB(r, g, b))
#define PALETTEINDEX(i) ((COLORREF)(0x01000000u | (DWORD)(WORD)(i)))
#define CLR_INVALID 0xFFFFFFFFu
