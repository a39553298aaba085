#include "tls_setup.h"

#include <openssl/ssl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace cmg290::serve {

namespace {

constexpr const char* kTls12Ciphers =
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256:"
    "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-RSA-AES256-GCM-SHA384:"
    "ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305";

bool readable(const std::string& path, const char* what, std::string& error) {
  if (::access(path.c_str(), R_OK) == 0) return true;
  error = std::string("cannot read the ") + what + " file " + path;
  return false;
}

}  // namespace

bool setup_tls(boost::asio::ssl::context& tls, const std::string& cert, const std::string& key,
               std::string& error) {
  if (!readable(cert, "certificate", error) || !readable(key, "key", error)) return false;
  SSL_CTX* ctx = tls.native_handle();
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_options(
      ctx, SSL_OP_NO_COMPRESSION | SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_NO_RENEGOTIATION);
  // Record buffers are freed between records (some 34 KiB per idle
  // connection), and no session cache is kept: clients resume with tickets.
  SSL_CTX_set_mode(ctx, SSL_MODE_RELEASE_BUFFERS);
  SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
  if (SSL_CTX_set_cipher_list(ctx, kTls12Ciphers) != 1) {
    error = "the TLS ciphers cannot be set";
    return false;
  }
  boost::system::error_code ec;
  tls.use_certificate_chain_file(cert, ec);
  if (ec) {
    error = "cannot use the certificate " + cert + ": the file holds no PEM certificate";
    return false;
  }
  tls.use_private_key_file(key, boost::asio::ssl::context::pem, ec);
  if (ec || SSL_CTX_check_private_key(ctx) != 1) {
    error = "cannot use the certificate " + cert + " with the key " + key +
            " (not a PEM key, or not the certificate's)";
    return false;
  }
  return true;
}

void warn_if_readable_by_others(const std::string& path, const char* what) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return;
  if ((st.st_mode & (S_IRGRP | S_IROTH)) != 0) {
    std::fprintf(stderr,
                 "cmg290 serve: warning: the %s file %s may be read by other users than its "
                 "owner (chmod 600 it)\n",
                 what, path.c_str());
  }
}

}  // namespace cmg290::serve
