// The TLS context of the server and the checks of the files it reads.
#pragma once

#include <boost/asio/ssl/context.hpp>

#include <string>

namespace cmg290::serve {

// TLS 1.2 with forward-secret AEAD ciphers only (ECDHE with AES-GCM or
// ChaCha20-Poly1305), and TLS 1.3. False with a message when a file is
// missing or unreadable, or the key is not the certificate's.
bool setup_tls(boost::asio::ssl::context& tls, const std::string& cert, const std::string& key,
               std::string& error);

// Warns on standard error when a secret's file may be read by others than
// its owner.
void warn_if_readable_by_others(const std::string& path, const char* what);

}  // namespace cmg290::serve
