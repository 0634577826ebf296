#pragma once
// Another program's windows on a private X server, seen as a window manager sees them: the
// mapped top-level windows with their titles, and a close asked as a title bar's close button
// asks it (a WM_DELETE_WINDOW client message). Link the test with xcb.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <xcb/xcb.h>

namespace testing_support {

struct TopWindow {
  xcb_window_t id;
  std::string title;  // _NET_WM_NAME
};

class XWindowClient {
 public:
  explicit XWindowClient(const std::string& display) : connection_(xcb_connect(display.c_str(), nullptr)) {}
  ~XWindowClient() { xcb_disconnect(connection_); }
  XWindowClient(const XWindowClient&) = delete;
  XWindowClient& operator=(const XWindowClient&) = delete;

  bool Connected() const { return xcb_connection_has_error(connection_) == 0; }

  // Without a window manager every top-level window is a child of the root; the toolkit's own
  // hidden helper windows are never mapped.
  std::vector<TopWindow> MappedTopWindows() const {
    std::vector<TopWindow> mapped;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root), nullptr));
    if (!tree) return mapped;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
      Reply<xcb_get_window_attributes_reply_t> attributes(
          xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, children[i]), nullptr));
      if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
        mapped.push_back({children[i], Title(children[i])});
    }
    return mapped;
  }

  // True when the server took the message.
  bool AskToClose(xcb_window_t window) const {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = Atom("WM_PROTOCOLS");
    message.data.data32[0] = Atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_void_cookie_t sent = xcb_send_event_checked(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                                                    reinterpret_cast<const char*>(&message));
    Reply<xcb_generic_error_t> error(xcb_request_check(connection_, sent));
    return !error;
  }

 private:
  template <typename T>
  struct FreeReply {
    void operator()(T* reply) const { std::free(reply); }
  };
  template <typename T>
  using Reply = std::unique_ptr<T, FreeReply<T>>;

  xcb_atom_t Atom(const char* name) const {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::char_traits<char>::length(name)), name),
        nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  }

  std::string Title(xcb_window_t window) const {
    Reply<xcb_get_property_reply_t> name(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, Atom("_NET_WM_NAME"), Atom("UTF8_STRING"), 0, 1024),
        nullptr));
    if (!name) return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(name.get())),
                       static_cast<size_t>(xcb_get_property_value_length(name.get())));
  }

  xcb_connection_t* connection_;
};

}  // namespace testing_support
