// What a window shows, as pixels: for the skin preview tool and for tests.
#pragma once

#include <cstdint>
#include <vector>

#include "uilib/win_types.h"

// Lays the window's tree out, paints it and reads it back as ARGB pixels,
// row by row from the top left.
bool CaptureWindow(HWND hWnd, std::vector<uint32_t>* argb, int* width, int* height);
// The same, written as a PNG file.
bool SaveWindowPng(HWND hWnd, LPCTSTR path);
