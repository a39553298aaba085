// cmg290 serve: grouping over HTTP, with a page for checking one record.
#include <CLI/CLI.hpp>

#include <memory>

#include "commands.h"
#include "exit_codes.h"
#include "serve/server.h"
#include "shared/tier_set_options.h"

namespace cmg290::cli {

Command add_serve_command(CLI::App& app) {
  auto o = std::make_shared<serve::ServeOptions>();
  auto listen = std::make_shared<std::string>("127.0.0.1:8290");
  auto quiet = std::make_shared<bool>(false);
  CLI::App* cmd = app.add_subcommand(
      "serve", "Serve the grouper over HTTP: a JSON API and a page for one record at /.");
  cmd->add_option("--listen", *listen,
                  "ADDRESS:PORT to listen on ([::1]:8290 for IPv6; port 0: "
                  "any free one).")
      ->default_str("127.0.0.1:8290");
  cmd->add_option("--threads", o->threads, "Worker threads that group batches, 1 to 1024.")
      ->default_str("16");
  CLI::Option* maxConnections =
      cmd->add_option("--max-connections", o->maxConnections,
                      "Connections held at once (1280 with TLS by default); further ones wait to "
                      "be accepted, or take the place of one stalled.")
          ->default_str("4096");
  cmd->add_option("--max-body", o->maxBody,
                  "Largest body of a single call, and longest JSON line of a batch, in bytes.")
      ->default_str("65536");
  cmd->add_option("--timeout", o->timeout,
                  "Seconds for a request's headers, for a whole single call, and for each read or "
                  "write of a batch; at least 0.001.")
      ->default_str("10");
  cmd->add_option("--idle-timeout", o->idleTimeout,
                  "Seconds a kept-alive connection may wait for its next request.")
      ->default_str("5");
  cmd->add_option("--min-body-rate", o->minBodyRate,
                  "Bytes per second a batch body must keep up over --body-rate-window; a slower "
                  "one is cut as stalled (0: no minimum).")
      ->default_str("1024");
  cmd->add_option("--body-rate-window", o->rateWindow,
                  "Seconds a batch body may fall short of --min-body-rate before it is cut.")
      ->default_str("20");
  cmd->add_option("--max-handshakes", o->maxHandshakes,
                  "TLS handshakes in progress at once; further connections wait their turn.")
      ->default_str("64");
  cmd->add_option("--handshake-timeout", o->handshakeTimeout,
                  "Seconds from a TLS connection's accept to the end of its handshake.")
      ->default_str("5");
  cmd->add_option("--grace", o->grace,
                  "Seconds the requests in flight get to finish once a stop signal came.")
      ->default_str("5");
  cmd->add_option("--tls-cert", o->tlsCert, "Certificate (PEM) to serve HTTPS with.");
  cmd->add_option("--tls-key", o->tlsKey, "Private key (PEM) of the certificate.");
  cmd->add_option("--token-file", o->tokenFile,
                  "File whose first line is the bearer token every API call must give.");
  cmd->add_flag("--insecure", o->insecure,
                "Listen beyond loopback without TLS and a token (warns).");
  add_tier_set_options(*cmd, o->tierSet,
                       "Directory of a tier-table set to group with, loaded at start and again on "
                       "SIGHUP (default: the lists compiled in).");
  cmd->add_option("--weights", o->weights,
                  "Relative weights (CSV: cmg,tier,weight,average_los) for the case-mix index of "
                  "POST /v1/report, checked at start against the tier-table set.");
  cmd->add_flag("-q,--quiet", *quiet, "No request log on standard error.");
  cmd->footer(
      "Listens on loopback unless told otherwise; any other address needs --tls-cert, --tls-key "
      "and --token-file. When all --max-connections are taken, the connection stalled longest (a "
      "second or more waiting for its client with no progress) is closed to make room for a new "
      "one. SIGINT "
      "or SIGTERM stops it after the requests in flight, given --grace seconds; a second one "
      "stops it at once. SIGUSR1 and SIGUSR2 are logged and passed over. "
      "SIGHUP reloads the --tier-tables set: requests "
      "in flight finish with the old set, new ones get the new set once it has loaded, and a set "
      "that cannot be loaded leaves the old one in use (each problem logged).\n"
      "Exit codes: 0 stopped with every request answered; 2 could not start; 3 requests were cut "
      "after the grace period; 4 stopped at once by a second signal.");
  return {cmd, [o, listen, quiet, maxConnections] {
            if (maxConnections->count() == 0 && !o->tlsCert.empty()) {
              o->maxConnections = serve::kTlsConnections;
            }
            std::string error;
            if (!serve::parse_listen_address(*listen, o->listen, error)) {
              std::fprintf(stderr, "cmg290 serve: %s\n", error.c_str());
              return kExitFatal;
            }
            o->log = !*quiet;
            return serve::run_server(*o);
          }};
}

}  // namespace cmg290::cli
