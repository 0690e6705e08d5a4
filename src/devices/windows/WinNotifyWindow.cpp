#include "devices/windows/WinNotifyWindow.h"

#include <dbt.h>

#include <cstddef>
#include <cstdint>
#include <system_error>
#include <utility>

#include "devices/windows/WinHidNames.h"
#include "devices/windows/WinSetup.h"

namespace qm::hid::win {
namespace {

constexpr char kClassName[] = "QmHidNotifyWindow";

// The events whose lParam points to a DEV_BROADCAST_HDR. For the others (DBT_DEVNODES_CHANGED,
// DBT_CONFIGCHANGED and the like) it is no record and must not be read.
bool CarriesRecord(WPARAM event) {
  return (event >= DBT_DEVICEARRIVAL && event <= DBT_CUSTOMEVENT) || event == DBT_USERDEFINED;
}

// The module this code is in (the program, or a DLL that links it), which owns the window class.
HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, kClassName,
                     &module);
  return module;
}

}  // namespace

TDeviceChange DeviceChangeOf(WPARAM event, LPARAM record) {
  TDeviceChange change;
  change.EventCode = static_cast<std::uint32_t>(event);
  if (!CarriesRecord(event) || record == 0) return change;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(record);
  change.DeviceType = header->dbch_devicetype;
  // The name runs to the end of the record, whose size the header gives.
  constexpr std::size_t kNameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
  if (header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE && header->dbch_size > kNameOffset) {
    const auto* deviceInterface = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(header);
    change.Path = BroadcastNameText(deviceInterface->dbcc_name, header->dbch_size - kNameOffset);
  }
  return change;
}

TNotifyWindow::TNotifyWindow(THandler handler) : handler_(std::move(handler)) {}

std::unique_ptr<TNotifyWindow> TNotifyWindow::Start(THandler handler) {
  std::unique_ptr<TNotifyWindow> window(new TNotifyWindow(std::move(handler)));
  std::promise<HWND> created;
  std::future<HWND> hwnd = created.get_future();
  try {
    // The thread owns the promise: it may still be inside set_value when get() returns here.
    window->thread_ =
        std::thread([self = window.get(), created = std::move(created)]() mutable { self->Run(created); });
  } catch (const std::system_error&) {
    return nullptr;
  }
  window->hwnd_ = hwnd.get();
  if (window->hwnd_ == nullptr) {
    window->thread_.join();
    return nullptr;
  }
  return window;
}

TNotifyWindow::~TNotifyWindow() {
  if (!thread_.joinable()) return;  // Start gave up: no thread, or it ended without a window
  // WM_CLOSE destroys the window on its own thread, which unregisters and ends the loop.
  if (!PostMessageA(hwnd_, WM_CLOSE, 0, 0)) PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
  thread_.join();
}

void TNotifyWindow::Run(std::promise<HWND>& created) {
  threadId_ = GetCurrentThreadId();
  static const ATOM windowClass = [] {
    WNDCLASSEXA windowClassInfo{};
    windowClassInfo.cbSize = sizeof windowClassInfo;
    windowClassInfo.lpfnWndProc = &TNotifyWindow::WindowProc;
    windowClassInfo.hInstance = ThisModule();
    windowClassInfo.lpszClassName = kClassName;
    return RegisterClassExA(&windowClassInfo);
  }();
  HWND hwnd = nullptr;
  if (windowClass != 0) {
    // A message-only window: never shown, yet a valid target for device notifications.
    hwnd = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(), this);
  }
  if (hwnd != nullptr) {
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = HidInterfaceClass();
    // Without the registration the window still gets what is sent to it, only no HID arrivals.
    notification_ = RegisterDeviceNotificationA(hwnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  }
  created.set_value(hwnd);
  if (hwnd == nullptr) return;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
}

LRESULT CALLBACK TNotifyWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<TNotifyWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_DEVICECHANGE:
      if (self != nullptr) {
        // No exception may cross the system's frames of the message dispatch.
        try {
          self->handler_(DeviceChangeOf(wParam, lParam));
        } catch (...) {
        }
      }
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      if (self != nullptr && self->notification_ != nullptr) {
        UnregisterDeviceNotification(self->notification_);
        self->notification_ = nullptr;
      }
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

}  // namespace qm::hid::win
