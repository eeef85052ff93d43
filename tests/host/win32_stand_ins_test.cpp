#if !defined(_WIN32)
#include "host/win32_stand_ins.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class Win32StandIns : public ::testing::Test {
 protected:
  void SetUp() override { reset_win32_stand_ins(); }
  void TearDown() override { reset_win32_stand_ins(); }
};

HWND handle(uintptr_t v) { return reinterpret_cast<HWND>(v); }

}  // namespace

TEST_F(Win32StandIns, RecordEveryCallWithItsArgumentsInOrder) {
  char caption[] = "Caption";
  HWND window = CreateWindowExA(7, "BUTTON", caption, 0x50000000, 1, 2, 3, 4, handle(0x99),
                                reinterpret_cast<HMENU>(static_cast<uintptr_t>(40001)),
                                handle(0x77), handle(0x55));
  std::strcpy(caption, "Changed");  // the log holds its own copy
  HFONT font = CreateFontA(12, 1, 2, 3, 500, 4, 5, 6, 128, 7, 8, 2, 48, "Face");
  EXPECT_EQ(SendMessageA(window, 0x30, reinterpret_cast<WPARAM>(font), 9), 0);
  GetWindow(window, 4);
  EXPECT_EQ(DeleteObject(font), 1);

  const auto& calls = win32_calls();
  ASSERT_EQ(calls.size(), 5u);

  const auto& create = std::get<CreateWindowCall>(calls[0]);
  EXPECT_EQ(create.ex_style, 7u);
  EXPECT_EQ(create.class_name, "BUTTON");
  EXPECT_EQ(create.window_name, "Caption");
  EXPECT_EQ(create.style, 0x50000000u);
  EXPECT_EQ(create.x, 1);
  EXPECT_EQ(create.y, 2);
  EXPECT_EQ(create.width, 3);
  EXPECT_EQ(create.height, 4);
  EXPECT_EQ(create.parent, handle(0x99));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(create.menu), 40001u);
  EXPECT_EQ(create.instance, handle(0x77));
  EXPECT_EQ(create.param, handle(0x55));
  EXPECT_EQ(create.result, window);

  const auto& make_font = std::get<CreateFontCall>(calls[1]);
  EXPECT_EQ(make_font.height, 12);
  EXPECT_EQ(make_font.width, 1);
  EXPECT_EQ(make_font.escapement, 2);
  EXPECT_EQ(make_font.orientation, 3);
  EXPECT_EQ(make_font.weight, 500);
  EXPECT_EQ(make_font.italic, 4u);
  EXPECT_EQ(make_font.underline, 5u);
  EXPECT_EQ(make_font.strike_out, 6u);
  EXPECT_EQ(make_font.char_set, 128u);
  EXPECT_EQ(make_font.out_precision, 7u);
  EXPECT_EQ(make_font.clip_precision, 8u);
  EXPECT_EQ(make_font.quality, 2u);
  EXPECT_EQ(make_font.pitch_and_family, 48u);
  EXPECT_EQ(make_font.face_name, "Face");
  EXPECT_EQ(make_font.result, font);

  const auto& send = std::get<SendMessageCall>(calls[2]);
  EXPECT_EQ(send.hwnd, window);
  EXPECT_EQ(send.message, 0x30u);
  EXPECT_EQ(send.wparam, reinterpret_cast<WPARAM>(font));
  EXPECT_EQ(send.lparam, 9);

  EXPECT_EQ(std::get<GetWindowCall>(calls[3]).hwnd, window);
  EXPECT_EQ(std::get<GetWindowCall>(calls[3]).command, 4u);
  EXPECT_EQ(std::get<DeleteObjectCall>(calls[4]).object, font);

  EXPECT_EQ(win32_calls_of<SendMessageCall>().size(), 1u);
  clear_win32_calls();
  EXPECT_TRUE(win32_calls().empty());
}

TEST_F(Win32StandIns, HandlesAreDistinctAndNonNull) {
  std::vector<void*> seen = {default_owner_window(), fake_settings_window()};
  for (int i = 0; i < 3; ++i) {
    seen.push_back(CreateWindowExA(0, "BUTTON", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                   nullptr));
    seen.push_back(CreateFontA(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "F"));
  }
  for (size_t a = 0; a < seen.size(); ++a) {
    EXPECT_NE(seen[a], nullptr);
    for (size_t b = a + 1; b < seen.size(); ++b) EXPECT_NE(seen[a], seen[b]) << a << " " << b;
  }
}

TEST_F(Win32StandIns, NullAndAtomStringsAreRecordedSafely) {
  CreateWindowExA(0, reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(0xC017)), nullptr, 0, 0, 0,
                  0, 0, nullptr, nullptr, nullptr, nullptr);
  CreateFontA(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  const auto create = win32_calls_of<CreateWindowCall>();
  ASSERT_EQ(create.size(), 1u);
  EXPECT_EQ(create[0].class_name, "#49175");
  EXPECT_FALSE(create[0].window_name.has_value());
  EXPECT_FALSE(win32_calls_of<CreateFontCall>().at(0).face_name.has_value());
}

TEST_F(Win32StandIns, GetWindowAnswersTheSettableOwnerOnlyForGwOwner) {
  HWND any = handle(0x1234);
  EXPECT_EQ(GetWindow(any, 4), default_owner_window());
  set_owner_window(handle(0xABC0));
  EXPECT_EQ(GetWindow(any, 4), handle(0xABC0));
  EXPECT_EQ(GetWindow(any, 5), nullptr);  // GW_CHILD: there are no windows
  reset_win32_stand_ins();
  EXPECT_EQ(GetWindow(any, 4), default_owner_window());
}

TEST_F(Win32StandIns, FailureSwitchesMakeCreationAnswerNullButStillRecord) {
  set_create_window_fails(true);
  EXPECT_EQ(CreateWindowExA(0, "BUTTON", "x", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_NE(CreateFontA(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "F"), nullptr);
  set_create_font_fails(true);
  EXPECT_EQ(CreateFontA(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "F"), nullptr);
  set_create_window_fails(false);
  EXPECT_NE(CreateWindowExA(0, "BUTTON", "x", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(win32_calls_of<CreateWindowCall>().size(), 2u);
  EXPECT_EQ(win32_calls_of<CreateWindowCall>()[0].result, nullptr);
  EXPECT_EQ(win32_calls_of<CreateFontCall>().size(), 2u);
  EXPECT_EQ(win32_calls_of<CreateFontCall>()[1].result, nullptr);
}

TEST_F(Win32StandIns, DeleteObjectSucceedsOnlyOnceForAFontItMade) {
  HFONT font = CreateFontA(12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "F");
  EXPECT_EQ(live_font_count(), 1);
  EXPECT_EQ(DeleteObject(font), 1);
  EXPECT_EQ(live_font_count(), 0);
  EXPECT_EQ(DeleteObject(font), 0) << "deleted twice";
  EXPECT_EQ(DeleteObject(nullptr), 0);
  EXPECT_EQ(win32_calls_of<DeleteObjectCall>().size(), 3u);
}
#endif  // !_WIN32
