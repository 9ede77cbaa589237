// The program's identity: the texts that name the application and its maker wherever they are
// written (account files, the configuration file, the About box). One home for all of them.
#pragma once

// The application's title, also the caption of its system message boxes.
inline constexpr char kAppTitle[] = "Zelvo Password Manager";
// The maker's name.
inline constexpr char kAuthor[] = "Zelvo Software";
// The program's version.
inline constexpr char kVersion[] = "1.3.0.1";
// The maker's website.
inline constexpr char kWebsiteUrl[] = "https://www.zelvo.example/";
// The support mail address.
inline constexpr char kSupportMail[] = "support@zelvo.example";
