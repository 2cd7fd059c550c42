#pragma once

// Code page 936 bytes of the results list's column titles, written out
// byte by byte so that they do not depend on the codec under test.

#include <string>

namespace yunque::test {

inline const std::string titleNumber = "\xD0\xF2\xBA\xC5"; // 序号
inline const std::string titleNickname = "\xEA\xC7\xB3\xC6"; // 昵称
inline const std::string titleAccount = "\xD5\xCB\xBA\xC5"; // 账号
inline const std::string titleUid = "uid"; // uid
inline const std::string titleComment = "\xC6\xC0\xC2\xDB\xC4\xDA\xC8\xDD"; // 评论内容

} // namespace yunque::test
