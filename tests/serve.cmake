# cmg290 serve over real HTTP on loopback (tests/serve/, pytest with
# python3-requests): every route and error answer, TLS and the token, limits
# and timeouts, stopping under load; and the page in headless Chromium
# (python3-selenium), skipped where Chromium is not installed.
if(TARGET cmg290_cli)
  set(serve_env "CMG290=$<TARGET_FILE:cmg290_cli>" "CMG290_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  foreach(suite api access limits hostile slow_clients boundaries tier_tables reload edits
                signals slots tls_memory answer_bounds report)
    # A client thread of a test that dies with an exception fails the test:
    # otherwise an attack that never ran would pass for one the server held.
    add_test(NAME serve_${suite}
             COMMAND /usr/bin/python3 -m pytest -q -p no:cacheprovider
                     -W error::pytest.PytestUnhandledThreadExceptionWarning
                     ${CMAKE_CURRENT_SOURCE_DIR}/serve/test_${suite}.py)
    set_tests_properties(serve_${suite} PROPERTIES ENVIRONMENT "${serve_env}" TIMEOUT 300)
  endforeach()
  # The attacks with hundreds of connections and the server's memory measured
  # (10 to 25 s each): CI runs them once, in the plain build (`ctest -LE long`
  # leaves them out).
  set_tests_properties(serve_answer_bounds serve_slots serve_tls_memory PROPERTIES LABELS long)

  add_test(NAME serve_browser
           COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/serve/browser_test.py
                   $<TARGET_FILE:cmg290_cli> ${CMAKE_CURRENT_BINARY_DIR}/serve_browser)
  set_tests_properties(serve_browser PROPERTIES ENVIRONMENT "${serve_env}" TIMEOUT 300
                                                SKIP_RETURN_CODE 77)
  # A report from a file and from the page (report_browser_test.py).
  add_test(NAME serve_report_browser
           COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/serve/report_browser_test.py
                   $<TARGET_FILE:cmg290_cli> ${CMAKE_CURRENT_BINARY_DIR}/serve_report_browser)
  set_tests_properties(serve_report_browser PROPERTIES ENVIRONMENT "${serve_env}" TIMEOUT 300
                                                       SKIP_RETURN_CODE 77)
  # What these drive is the page's script in Chromium; the sanitizer stages
  # leave them out (`ctest -LE browser`), the server's routes having suites
  # of their own.
  set_tests_properties(serve_browser serve_report_browser PROPERTIES LABELS browser)
endif()
