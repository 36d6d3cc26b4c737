// The GDI subset: device-independent bitmap structures, logical palettes and the system palette,
// device contexts and their capabilities. Names, layouts, constants and semantics are those of the
// Windows API.
//
// The display is one of two kinds (see platform/display.h): a true-colour display (the default),
// which has no system palette, or a palette display with 256 entries of which the first ten and
// the last ten hold the 20 static colours.
#pragma once

#include "platform/windef.h"

extern "C" {

// ---- bitmap structures ----------------------------------------------------------------------
#pragma pack(push, 2)
typedef struct tagBITMAPFILEHEADER {
    WORD bfType; // "BM"
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
} BITMAPFILEHEADER;
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14, "BITMAPFILEHEADER must be 14 bytes");

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight; // positive: bottom-up rows
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER;
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER must be 40 bytes");

typedef struct tagBITMAPCOREHEADER {
    DWORD bcSize; // 12
    WORD bcWidth;
    WORD bcHeight;
    WORD bcPlanes;
    WORD bcBitCount;
} BITMAPCOREHEADER;
static_assert(sizeof(BITMAPCOREHEADER) == 12, "BITMAPCOREHEADER must be 12 bytes");

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

typedef struct tagRGBTRIPLE {
    BYTE rgbtBlue;
    BYTE rgbtGreen;
    BYTE rgbtRed;
} RGBTRIPLE;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO, *LPBITMAPINFO;

#define BI_RGB 0L
#define BI_RLE8 1L
#define BI_RLE4 2L
#define BI_BITFIELDS 3L
#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1

// ---- palettes -------------------------------------------------------------------------------
typedef struct tagPALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
} PALETTEENTRY, *LPPALETTEENTRY;

typedef struct tagLOGPALETTE {
    WORD palVersion; // 0x300
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
} LOGPALETTE, *LPLOGPALETTE;

#define PC_RESERVED 0x01
#define PC_EXPLICIT 0x02
#define PC_NOCOLLAPSE 0x04

#define SYSPAL_ERROR 0
#define SYSPAL_STATIC 1
#define SYSPAL_NOSTATIC 2
#define SYSPAL_NOSTATIC256 3

// A logical palette. Fails (null, ERROR_INVALID_PARAMETER) unless palVersion is 0x300 and the
// entry count is 1 to 1024.
SKV_PLATFORM_API HPALETTE CreatePalette(const LOGPALETTE* logPalette);
// The entry whose colour is nearest (squared distance of red, green and blue; the lower index on
// ties) to the colour's red, green and blue. CLR_INVALID for an invalid palette.
SKV_PLATFORM_API UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF colour);
// Copies up to `count` entries from `start`; a null `entries` asks for the palette's size. The
// result is the number of entries copied (0 on failure).
SKV_PLATFORM_API UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count,
                                        LPPALETTEENTRY entries);
SKV_PLATFORM_API UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count,
                                        const PALETTEENTRY* entries);
// The system palette of the display a DC belongs to. A display without a palette (true colour)
// has none: GetSystemPaletteEntries answers 0 and GetSystemPaletteUse SYSPAL_ERROR there.
SKV_PLATFORM_API UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count,
                                              LPPALETTEENTRY entries);
SKV_PLATFORM_API UINT GetSystemPaletteUse(HDC dc);
// Answers the previous use, or SYSPAL_ERROR on a display without a palette.
SKV_PLATFORM_API UINT SetSystemPaletteUse(HDC dc, UINT use);

// ---- GDI objects ----------------------------------------------------------------------------
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_PAL 5
#define OBJ_BITMAP 7
#define OBJ_MEMDC 10

// Deletes a GDI object other than a DC. FALSE for an invalid handle.
SKV_PLATFORM_API BOOL DeleteObject(HGDIOBJ object);
// OBJ_PAL, OBJ_DC ... for a live object; 0 (ERROR_INVALID_HANDLE) otherwise.
SKV_PLATFORM_API DWORD GetObjectType(HGDIOBJ object);
// For a palette, `buffer` receives its entry count as a WORD. Answers the bytes stored (or, with a
// null buffer, needed); 0 on failure.
SKV_PLATFORM_API int GetObjectA(HGDIOBJ object, int size, LPVOID buffer);

// ---- device contexts ------------------------------------------------------------------------
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define RASTERCAPS 38
#define SIZEPALETTE 104
#define NUMRESERVED 106
#define COLORRES 108

#define RC_BITBLT 0x0001
#define RC_BANDING 0x0002
#define RC_SCALING 0x0004
#define RC_BITMAP64 0x0008
#define RC_GDI20_OUTPUT 0x0010
#define RC_DI_BITMAP 0x0080
#define RC_PALETTE 0x0100
#define RC_DIBTODEV 0x0200
#define RC_STRETCHBLT 0x0800
#define RC_STRETCHDIB 0x2000

// A null window gives a DC for the whole screen. Every DC obtained here is given back with
// ReleaseDC.
SKV_PLATFORM_API HDC GetDC(HWND window);
SKV_PLATFORM_API int ReleaseDC(HWND window, HDC dc);
// RASTERCAPS has RC_PALETTE only on a palette display; SIZEPALETTE 256 and NUMRESERVED 20 there,
// 0 on a true-colour display. Unknown indices answer 0.
SKV_PLATFORM_API int GetDeviceCaps(HDC dc, int index);

} // extern "C"

#define GetObject GetObjectA
