// The objects that draw the menus: the menu camera and its rasters, the renderer, the
// HTMLBrowser, the mouse pointer; loading a page through the token expansion, drawing a page
// and the pointer, and showing the frame.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

struct IHTMLBrowser;
struct IHTMLPage;
struct IMousePointer;
struct IRaster;
struct IRenderer;
struct LgCamera;

// The page loop works in this page space; the screen scales it.
inline constexpr int32_t TV_PAGE_WIDTH = 640;
inline constexpr int32_t TV_PAGE_HEIGHT = 480;
inline constexpr char TV_STATUS_PAGE[] = "menus\\status.html";
inline constexpr char TV_POINTER_FILE[] = "mouse.ini";

// The menu raster (an engine-backed raster of the screen size), its camera raster and a depth
// raster, and the parallel menu camera. OM_E_FAIL (nothing kept) when a part cannot be made.
OmResult TvSetUpMenuCamera(int32_t width, int32_t height, int32_t depth);
void TvReleaseMenuCamera();
// The renderer on the menu raster, the raster factory, the HTMLBrowser with the menus' layout
// settings and scale, and the mouse pointer from mouse.ini. A failure is logged ("Couldn't
// setup HTML browser.") and releases every menu object.
OmResult TvSetUpMenuBrowser();
// The current page, the browser, the raster factory, the pointer and the renderer.
void TvReleaseMenuBrowser();
// Both set-ups for the current screen, the settings record told the screen size and the
// camera rasters, the image readers registered again.
OmResult TvSetUpMenuVideo();
// Both releases (before the engine stops).
void TvReleaseMenuVideo();

// Reads the page from ".\Language\<language>\" through the data storage, expands its tokens
// and parses it into `slot` (what it held is released). The current directory is the same
// after the call as before it on every path. OM_E_FAIL when the file cannot be opened (the
// slot keeps its page); the stream's or parser's failure.
OmResult TvLoadPage(const char* name, IHTMLPage** slot);
// TvLoadPage into the current page.
OmResult TvShowPage(const char* name);
// Draws the current page and the status page (nothing without a browser or a page).
void TvDrawPage();
// Draws the pointer at the page loop's position, scaled to the screen.
void TvDrawPointer();
// Shows the menu camera's raster in the window, waiting for the vertical blank when asked.
void TvShowMenuFrame(bool vsync);

IHTMLBrowser* TvGetMenuBrowser();
IHTMLPage* TvGetCurrentPage();
IHTMLPage** TvGetStatusPageSlot();
IMousePointer* TvGetMenuPointer();
IRenderer* TvGetMenuRenderer();
IRaster* TvGetMenuRaster();
LgCamera* TvGetMenuCamera();
