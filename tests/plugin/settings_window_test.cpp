// The settings window as the module drives the window system: the "Cache
// Reset" button and its font, input forwarding and the click.
#include <gtest/gtest.h>

#include <string>

#include "host/stand_in_host.h"
#include "host/win32_stand_ins.h"
#include "plugin/module_state.h"

namespace {

constexpr UINT kCreate = 1127, kDestroy = 1128, kCommand = 0x0111;

class SettingsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    HostOptions o;
    o.thread_num = 1;
    host_ = std::make_unique<StandInHost>(GetFilterTable(), o);
    ASSERT_EQ(host_->init(), 1);
    clear_win32_calls();
  }
  void TearDown() override {
    set_create_window_fails(false);
    set_create_font_fails(false);
    host_.reset();
  }
  void fill_slot_cache() {
    for (int i = 0; i < kSlotCacheEntries; ++i) FrameSlotCache[i] = i;
  }
  bool slot_cache_empty() const {
    for (int32_t entry : FrameSlotCache)
      if (entry != kEmptySlot) return false;
    return true;
  }
  std::unique_ptr<StandInHost> host_;
};

TEST_F(SettingsWindow, CreatesTheButtonAndItsFontAsTheHostWindowExpects) {
  HWND parent = fake_settings_window();
  EXPECT_EQ(host_->window_message(parent, kCreate, 0, 0), 0);
  auto windows = win32_calls_of<CreateWindowCall>();
  ASSERT_EQ(windows.size(), 1u);
  const CreateWindowCall& button = windows[0];
  EXPECT_EQ(button.ex_style, 0u);
  EXPECT_EQ(button.class_name, std::optional<std::string>("BUTTON"));
  EXPECT_EQ(button.window_name, std::optional<std::string>("Cache Reset"));
  EXPECT_EQ(button.style, 0x50000000u);
  EXPECT_EQ(button.x, 230);
  EXPECT_EQ(button.y, 393);
  EXPECT_EQ(button.width, 80);
  EXPECT_EQ(button.height, 18);
  EXPECT_EQ(button.parent, parent);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(button.menu), 40001u);
  EXPECT_EQ(button.instance, host_->filter()->dll_hinst);
  EXPECT_EQ(button.param, nullptr);

  auto fonts = win32_calls_of<CreateFontCall>();
  ASSERT_EQ(fonts.size(), 1u);
  const CreateFontCall& font = fonts[0];
  EXPECT_EQ(font.height, 12);
  EXPECT_EQ(font.width, 0);
  EXPECT_EQ(font.weight, 500);
  EXPECT_EQ(font.char_set, 128u);
  EXPECT_EQ(font.quality, 2u);
  EXPECT_EQ(font.pitch_and_family, 48u);
  EXPECT_EQ(font.italic + font.underline + font.strike_out + font.out_precision +
                font.clip_precision + static_cast<DWORD>(font.escapement + font.orientation),
            0u);
  // "ＭＳ Ｐゴシック" in code page 932.
  EXPECT_EQ(font.face_name, std::optional<std::string>("\x82\x6c\x82\x72\x20\x82\x6f\x83\x53"
                                                        "\x83\x56\x83\x62\x83\x4e"));

  auto messages = win32_calls_of<SendMessageCall>();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].hwnd, button.result);
  EXPECT_EQ(messages[0].message, 0x0030u);
  EXPECT_EQ(messages[0].wparam, reinterpret_cast<WPARAM>(font.result));

  EXPECT_EQ(host_->window_message(parent, kDestroy, 0, 0), 0);
  auto deleted = win32_calls_of<DeleteObjectCall>();
  ASSERT_EQ(deleted.size(), 1u);
  EXPECT_EQ(deleted[0].object, font.result);
  // A second close does not delete the font twice.
  host_->window_message(parent, kDestroy, 0, 0);
  EXPECT_EQ(win32_calls_of<DeleteObjectCall>().size(), 1u);
}

TEST_F(SettingsWindow, KeyAndWheelInputReachesTheOwnerUnchanged) {
  HWND parent = fake_settings_window();
  for (UINT message : {0x0100u, 0x0101u, 0x020Au}) {
    clear_win32_calls();
    EXPECT_EQ(host_->window_message(parent, message, 0x41, 0x1234), 0);
    auto owners = win32_calls_of<GetWindowCall>();
    ASSERT_EQ(owners.size(), 1u);
    EXPECT_EQ(owners[0].hwnd, parent);
    EXPECT_EQ(owners[0].command, 4u);
    auto sent = win32_calls_of<SendMessageCall>();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].hwnd, default_owner_window());
    EXPECT_EQ(sent[0].message, message);
    EXPECT_EQ(sent[0].wparam, 0x41u);
    EXPECT_EQ(sent[0].lparam, 0x1234);
  }
  clear_win32_calls();
  EXPECT_EQ(host_->window_message(parent, 0x0200, 1, 2), 0);  // any other message
  EXPECT_TRUE(win32_calls().empty());
}

TEST_F(SettingsWindow, ClickEmptiesTheSlotsOnlyWhileTheFilterIsActive) {
  HWND parent = fake_settings_window();
  host_->window_message(parent, kCreate, 0, 0);
  const HWND button = win32_calls_of<CreateWindowCall>()[0].result;

  fill_slot_cache();
  host_->set_filter_active(false);
  host_->reset_counters();
  clear_win32_calls();
  EXPECT_EQ(host_->window_message(parent, kCommand, 40001, 0), 0);
  EXPECT_FALSE(slot_cache_empty());
  EXPECT_EQ(host_->counters().filter_window_update_calls, 1);
  EXPECT_EQ(host_->counters().is_filter_active_calls, 2);
  auto sent = win32_calls_of<SendMessageCall>();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].hwnd, button);
  EXPECT_EQ(sent[0].message, 0x0008u);

  host_->set_filter_active(true);
  EXPECT_EQ(host_->window_message(parent, kCommand, 0x10000 | 40001, 0), 1);
  EXPECT_TRUE(slot_cache_empty());

  // Other command ids are not the button.
  fill_slot_cache();
  EXPECT_EQ(host_->window_message(parent, kCommand, 40002, 0), 0);
  EXPECT_FALSE(slot_cache_empty());
}

TEST_F(SettingsWindow, NoWindowSystemMeansNoButtonButNoCrash) {
  set_create_window_fails(true);
  set_create_font_fails(true);
  HWND parent = fake_settings_window();
  EXPECT_EQ(host_->window_message(parent, kCreate, 0, 0), 0);
  EXPECT_TRUE(win32_calls_of<SendMessageCall>().empty());
  fill_slot_cache();
  EXPECT_EQ(host_->window_message(parent, kCommand, 40001, 0), 1);
  EXPECT_TRUE(slot_cache_empty());
  EXPECT_EQ(host_->window_message(parent, kDestroy, 0, 0), 0);
  EXPECT_TRUE(win32_calls_of<DeleteObjectCall>().empty());
}

TEST(Lifecycle, ExitTwiceIsHarmlessAndSavingEmptiesTheSlots) {
  HostOptions o;
  o.thread_num = 1;
  StandInHost host(GetFilterTable(), o);
  ASSERT_EQ(host.init(), 1);
  EXPECT_TRUE(AllocationOk);
  EXPECT_NE(FilterParams.gamma_cbcr_lut, nullptr);
  // Initialisation derives the parameters from the tracks at once.
  EXPECT_EQ(FilterParams.frame_radius, 2);
  EXPECT_FLOAT_EQ(FilterParams.gain_y, 1.0f);
  for (int i = 0; i < kSlotCacheEntries; ++i) FrameSlotCache[i] = i;
  EXPECT_EQ(host.save_start(), 1);
  for (int32_t entry : FrameSlotCache) EXPECT_EQ(entry, kEmptySlot);
  EXPECT_EQ(host.exit(), 1);
  EXPECT_EQ(FilterParams.gamma_cbcr_lut, nullptr);
  EXPECT_EQ(Buffers.planes().LumaSlotPlanesA, nullptr);
  EXPECT_EQ(host.exit(), 1);
}

}  // namespace
