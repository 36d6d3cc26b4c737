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
#define OBJ_REGION 8
#define OBJ_MEMDC 10

#define GDI_ERROR 0xFFFFFFFFL
#define HGDI_ERROR ((HGDIOBJ)(intptr_t)-1)

// Deletes a GDI object other than a DC. FALSE for an invalid handle and for an object selected
// into a DC; a stock object is not deleted, and the call succeeds.
SKV_PLATFORM_API BOOL DeleteObject(HGDIOBJ object);
// OBJ_PAL, OBJ_DC ... for a live object; 0 (ERROR_INVALID_HANDLE) otherwise.
SKV_PLATFORM_API DWORD GetObjectType(HGDIOBJ object);
// For a palette, `buffer` receives its entry count as a WORD; for a bitmap a BITMAP, or a
// DIBSECTION when the buffer is that large and the bitmap is a DIB section; for a brush a
// LOGBRUSH. Answers the bytes stored (or, with a null buffer, needed); 0 on failure.
SKV_PLATFORM_API int GetObjectA(HGDIOBJ object, int size, LPVOID buffer);

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define DEFAULT_PALETTE 15
// Stock objects live as long as the process; DEFAULT_PALETTE holds the 20 static colours.
SKV_PLATFORM_API HGDIOBJ GetStockObject(int index);
// Selects a bitmap (memory DCs only; a bitmap is in one DC at a time), a pen, a brush or a region
// (a copy becomes the clip region; the result is then the region's complexity). Returns the object
// replaced, null on failure.
SKV_PLATFORM_API HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
SKV_PLATFORM_API HGDIOBJ GetCurrentObject(HDC dc, UINT type);

// ---- bitmaps --------------------------------------------------------------------------------
typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP, *LPBITMAP;

typedef struct tagDIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3];
    HANDLE dshSection;
    DWORD dsOffset;
} DIBSECTION;

// An 8-bit DIB section has a colour table (biClrUsed entries, 256 when 0; with DIB_PAL_COLORS it
// is built from the DC's palette); 24- and 32-bit ones have none. Rows are bottom-up for a
// positive height, top-down for a negative one. Width and height are limited to 16384; the
// header must have biSize of at least 40, one plane and BI_RGB. The bits live until
// DeleteObject.
SKV_PLATFORM_API HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                                          HANDLE section, DWORD offset);
// The colour table of the 8-bit DIB section selected into a memory DC. Answers the entries set
// or read.
SKV_PLATFORM_API UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colours);
SKV_PLATFORM_API UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colours);

// ---- brushes --------------------------------------------------------------------------------
#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL

typedef struct tagLOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    ULONG_PTR lbHatch;
} LOGBRUSH;

SKV_PLATFORM_API HBRUSH CreateSolidBrush(COLORREF colour);

#define BS_PATTERN 3
// A brush that tiles the bitmap over the DC from its origin: pixel (x, y) takes the bitmap's
// pixel (x mod width, y mod height), rows counted from the top. The bitmap's pixels are copied,
// so it may be deleted afterwards. A monochrome bitmap's 0 bits paint in the DC's text colour and
// its 1 bits in the background colour, as they are when the brush is used; an 8-bit bitmap's
// pixels are colour indices, written as they are into an 8-bit bitmap and taken as indices into
// the DC's palette elsewhere.
SKV_PLATFORM_API HBRUSH CreatePatternBrush(HBITMAP bitmap);

// ---- device-dependent bitmaps -----------------------------------------------------------------
// A bitmap of 1 or 8 bits per pixel and one plane, rows top first, bmWidthBytes apart (even; 0
// means the rows lie packed to 16 bits); bmBits may be null (zero pixels). It serves as a
// pattern and can be selected into a memory DC, where nothing is drawn on it.
SKV_PLATFORM_API HBITMAP CreateBitmapIndirect(const BITMAP* bitmap);
SKV_PLATFORM_API HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel,
                                      const void* bits);

// ---- pens -------------------------------------------------------------------------------------
#define PS_SOLID 0
#define PS_NULL 5
#define PS_INSIDEFRAME 6
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8

typedef struct tagLOGPEN {
    UINT lopnStyle;
    POINT lopnWidth; // x is the width
    COLORREF lopnColor;
} LOGPEN;

// A solid pen, PS_SOLID or PS_INSIDEFRAME, or the null pen; a width below 1 is 1. Other styles
// fail. The two solid styles differ only when wider than one pixel (see the coverage rules under
// "lines and filled shapes").
SKV_PLATFORM_API HPEN CreatePen(int style, int width, COLORREF colour);

// ---- regions --------------------------------------------------------------------------------
#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3
#define RGN_ERROR ERROR
#define RGN_AND 1
#define RGN_OR 2
#define RGN_XOR 3
#define RGN_DIFF 4
#define RGN_COPY 5

SKV_PLATFORM_API HRGN CreateRectRgn(int left, int top, int right, int bottom);
SKV_PLATFORM_API HRGN CreateRectRgnIndirect(const RECT* rect);
SKV_PLATFORM_API BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom);
// `destination` must exist already; it may be one of the sources. Answers the result's
// complexity, or ERROR.
SKV_PLATFORM_API int CombineRgn(HRGN destination, HRGN a, HRGN b, int mode);
SKV_PLATFORM_API int OffsetRgn(HRGN region, int dx, int dy);
SKV_PLATFORM_API int GetRgnBox(HRGN region, LPRECT rect);
SKV_PLATFORM_API BOOL PtInRegion(HRGN region, int x, int y);
SKV_PLATFORM_API BOOL EqualRgn(HRGN a, HRGN b);
// A copy of the region (DC coordinates) becomes the clip region; null removes it. Every drawing
// call honours it.
SKV_PLATFORM_API int SelectClipRgn(HDC dc, HRGN region);
// The bounds of what a DC can draw on now (its surface, clipped), in DC coordinates.
SKV_PLATFORM_API int GetClipBox(HDC dc, LPRECT rect);

// ---- drawing ----------------------------------------------------------------------------------
#define SRCCOPY 0x00CC0020u
#define SRCPAINT 0x00EE0086u
#define SRCAND 0x008800C6u
#define SRCINVERT 0x00660046u
#define NOTSRCCOPY 0x00330008u
#define DSTINVERT 0x00550009u
#define BLACKNESS 0x00000042u
#define WHITENESS 0x00FF0062u

#define BLACKONWHITE 1
#define WHITEONBLACK 2
#define COLORONCOLOR 3
#define HALFTONE 4
#define STRETCH_DELETESCANS COLORONCOLOR

// Raster operations supported: SRCCOPY, SRCPAINT, SRCAND, SRCINVERT, NOTSRCCOPY, DSTINVERT,
// BLACKNESS and WHITENESS; they combine device values (colour indices on a palette display or in
// an 8-bit bitmap, red-green-blue elsewhere). Colours are matched as the DCs' palettes say: a
// source bitmap's colours go to the nearest entry of the destination DC's palette on a palette
// display, to the nearest entry of the colour table in an 8-bit destination bitmap.
SKV_PLATFORM_API HDC CreateCompatibleDC(HDC dc);
SKV_PLATFORM_API BOOL DeleteDC(HDC dc);
SKV_PLATFORM_API BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source,
                             int sourceX, int sourceY, DWORD rop);
// Source coordinates count from the bitmap's first row in memory: the bottom row of a bottom-up
// bitmap. Stretching picks the nearest source pixel whatever the stretch mode. Answers the number
// of source rows drawn, 0 on failure.
SKV_PLATFORM_API int StretchDIBits(HDC dc, int x, int y, int width, int height, int sourceX,
                                   int sourceY, int sourceWidth, int sourceHeight, const void* bits,
                                   const BITMAPINFO* info, UINT usage, DWORD rop);
// The raster operations without a source or pattern (DSTINVERT, BLACKNESS, WHITENESS) over a
// rectangle; a negative width or height reaches left of x or above y. Pattern operations fail
// with ERROR_INVALID_PARAMETER.
SKV_PLATFORM_API BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
SKV_PLATFORM_API int SetStretchBltMode(HDC dc, int mode);
SKV_PLATFORM_API int GetStretchBltMode(HDC dc);
// Drawing is done when the call returns; nothing is batched.
SKV_PLATFORM_API BOOL GdiFlush(void);

// ---- lines and filled shapes ------------------------------------------------------------------
// Which pixels a figure covers: those Windows GDI covers. A figure given (left, top, right,
// bottom) has its corners put in order; one with no width or height draws nothing. A
// PS_INSIDEFRAME pen w pixels wide first brings the box in by w / 2 at the left and top and
// (w - 1) / 2 at the right and bottom, so that the pen ends on the box's edges.
//
// Outlines. A figure's outline is a closed polygon through the centres of its outermost pixels:
// for a rectangle its four corner pixels (right - 1, bottom - 1), (left, bottom - 1), (left, top)
// and (right - 1, top); for a round rectangle the points of its corners' quarter ellipses, each
// found by a midpoint walk (Alois Zingl's) round a w x h ellipse, w and h the corner's size at
// most the box's, counterclockwise from the top right corner and mirrored into the others. An
// ellipse is a round rectangle whose corner is its box. Corners 2 pixels or less either way make
// a round rectangle a rectangle.
//
// A one-pixel pen draws that polygon as one-pixel lines (below). So a rectangle's outline is its
// outermost pixels, one a pixel wide is a line, and one of a single pixel has no outline at all.
// A wider pen is a region: along each side a band w pixels across, split about the side with its
// odd pixel above and to the left for even w and its ends rounded to whole pixels, and at every
// point a disc, the elliptic region of the w x w box [-(w / 2), w - w / 2) round it (round joins
// and round ends, those of every pen CreatePen makes). So half a PS_SOLID pen lies outside the
// box.
//
// The brush. A rectangle's brush fills [left, right - 1) x [top, bottom - 1) with the null pen
// (and with a pen wider than one pixel, less the pen's region), and what lies inside the outline
// with a one-pixel pen. A round rectangle's or an ellipse's fills all of [left, right) x [top,
// bottom) but its corners, cut by the same w x h ellipse, and the pen is drawn over it: with the
// null pen it is not left one pixel short as a rectangle is. Each row of those corners comes
// from the same midpoint walk, run from the middle row outwards; rows it never reaches (the top
// and bottom ones of a narrow, tall ellipse, which the outline does not reach either) stay empty.
// Corner ellipses more than 2^19 pixels across are not drawn.
//
// A line runs from the current position to the end point. With a one-pixel pen it leaves the end
// point out and takes the pixels a Bresenham walk visits. Where the ideal line passes exactly
// half-way between two pixels, lines going up and to the left, down and to the left more steeply
// than 45 degrees, and up and to the right less steeply take the step across at once, others a
// pixel later. Sloping lines reaching 2^28 pixels from the origin are drawn at an eighth of their
// size, as Windows GDI does. A wider pen covers the band between the two points and a disc at
// each, as above.
#define TRANSPARENT 1
#define OPAQUE 2

SKV_PLATFORM_API BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous);
SKV_PLATFORM_API BOOL LineTo(HDC dc, int x, int y);
SKV_PLATFORM_API BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
SKV_PLATFORM_API BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width,
                                int height);
SKV_PLATFORM_API BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
// A new DC starts with BLACK_PEN, WHITE_BRUSH, OPAQUE, a white background and black text.
// The background mode is kept for callers; solid pens and pattern brushes ignore it.
SKV_PLATFORM_API int SetBkMode(HDC dc, int mode);
SKV_PLATFORM_API int GetBkMode(HDC dc);
SKV_PLATFORM_API COLORREF SetBkColor(HDC dc, COLORREF colour);
SKV_PLATFORM_API COLORREF GetBkColor(HDC dc);
SKV_PLATFORM_API COLORREF SetTextColor(HDC dc, COLORREF colour);
SKV_PLATFORM_API COLORREF GetTextColor(HDC dc);

// ---- palettes in DCs ------------------------------------------------------------------------
// On a palette display a palette realized in a window DC that is not forced to the background
// takes the free system palette entries in order (entries with PC_NOCOLLAPSE or PC_RESERVED
// always get an entry of their own while entries are free; others reuse an entry of the same
// colour); one realized elsewhere maps each entry to the nearest system colour. Answers the
// number of system palette entries whose colour changed, and posts WM_PALETTECHANGED to the
// top-level windows when there were any. On a true-colour display it answers 0.
SKV_PLATFORM_API HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
SKV_PLATFORM_API UINT RealizePalette(HDC dc);

// ---- device contexts ------------------------------------------------------------------------
#define HORZRES 8
#define VERTRES 10
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

// A window DC draws into the window's client area (its own picture: see platform/winuser.h). A
// null window gives a DC for the whole screen: drawing on it paints the desktop under the
// windows, reading from it reads what the screen shows. Every DC obtained here is given back
// with ReleaseDC.
SKV_PLATFORM_API HDC GetDC(HWND window);
SKV_PLATFORM_API int ReleaseDC(HWND window, HDC dc);
// RASTERCAPS has RC_PALETTE only on a palette display; SIZEPALETTE 256 and NUMRESERVED 20 there,
// 0 on a true-colour display. HORZRES and VERTRES give the screen's size. Memory DCs answer as
// the display does. Unknown indices answer 0.
SKV_PLATFORM_API int GetDeviceCaps(HDC dc, int index);

} // extern "C"

#define GetObject GetObjectA
