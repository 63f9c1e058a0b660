// Drives the real kestrova.exe from outside, as a user and the system do:
// finds its main window, starts it (F2), waits until the traces move, saves
// a picture of the window if asked, and closes it with WM_CLOSE.
// Usage: kestrova_drive_window [PICTURE.bmp]
// Exit codes: 0 done; 1 no main window appeared; 2 the picture did not keep
// changing (nothing streamed); 3 the window stayed open after WM_CLOSE;
// 4 the picture could not be written.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <vector>

#include <windows.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // top-down BGRA
  bool operator==(const Picture&) const = default;
};

// The program's main window: visible, top-level, its title beginning with
// the program's name.
BOOL CALLBACK FindMain(HWND window, LPARAM found) {
  wchar_t title[64] = {};
  if (::IsWindowVisible(window) == FALSE || ::GetWindow(window, GW_OWNER) != nullptr) return TRUE;
  ::GetWindowTextW(window, title, 64);
  if (std::wcsncmp(title, L"Kestrova V", 10) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

HWND MainWindow() {
  HWND found = nullptr;
  ::EnumWindows(FindMain, reinterpret_cast<LPARAM>(&found));
  return found;
}

// The window's client area as it is on the screen now.
Picture Grab(HWND window) {
  Picture picture;
  RECT client{};
  ::GetClientRect(window, &client);
  picture.width = client.right;
  picture.height = client.bottom;
  if (picture.width <= 0 || picture.height <= 0) return picture;
  HDC screen = ::GetDC(window);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, picture.width, picture.height);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, picture.width, picture.height, screen, 0, 0, SRCCOPY);
  ::SelectObject(memory, old);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  picture.pixels.resize(static_cast<std::size_t>(picture.width) * picture.height);
  ::GetDIBits(memory, bitmap, 0, static_cast<UINT>(picture.height), picture.pixels.data(), &info,
              DIB_RGB_COLORS);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(window, screen);
  return picture;
}

bool SaveBmp(const Picture& picture, const char* path) {
  const auto bytes = static_cast<DWORD>(picture.pixels.size() * 4);
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER header{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + bytes;
  header.biSize = sizeof header;
  header.biWidth = picture.width;
  header.biHeight = -picture.height;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(reinterpret_cast<const char*>(picture.pixels.data()), bytes);
  return static_cast<bool>(out.flush());
}

void Press(HWND window, WPARAM key) {
  const UINT scan = ::MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
  ::PostMessageW(window, WM_KEYDOWN, key, 1 | (static_cast<LPARAM>(scan) << 16));
  ::PostMessageW(window, WM_KEYUP, key, 1 | (static_cast<LPARAM>(scan) << 16) | (3LL << 30));
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::seconds limit) {
  const auto end = Clock::now() + limit;
  while (!condition()) {
    if (Clock::now() > end) return false;
    ::Sleep(100);  // polling another process: nothing to wait on
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  HWND window = nullptr;
  if (!WaitFor([&] { return (window = MainWindow()) != nullptr; }, std::chrono::seconds(60))) {
    std::fprintf(stderr, "drive-window: no main window appeared\n");
    return 1;
  }
  ::SetForegroundWindow(window);
  Press(window, VK_F2);  // Start
  // Streaming: the picture changes again and again (a button's repaint
  // changes it once).
  Picture last = Grab(window);
  int changes = 0;
  if (!WaitFor(
          [&] {
            Picture now = Grab(window);
            if (!(now == last)) ++changes;
            last = std::move(now);
            return changes >= 5;
          },
          std::chrono::seconds(60))) {
    std::fprintf(stderr, "drive-window: the window's picture changed %d times, not streaming\n", changes);
    return 2;
  }
  if (argc > 1 && !SaveBmp(last, argv[1])) {
    std::fprintf(stderr, "drive-window: cannot write %s\n", argv[1]);
    return 4;
  }
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  if (!WaitFor([&] { return ::IsWindow(window) == FALSE; }, std::chrono::seconds(30))) {
    std::fprintf(stderr, "drive-window: the window stayed open after WM_CLOSE\n");
    return 3;
  }
  std::printf("drive-window: the window streamed (%d changes) and closed\n", changes);
  return 0;
}
