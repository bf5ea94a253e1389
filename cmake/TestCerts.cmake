# Test-only TLS material, generated into the build tree (never committed):
#   certs/ca.pem, certs/server.pem, certs/server.key     a CA and a 127.0.0.1/localhost certificate it signed
#   certs/other-ca.pem                                   an unrelated CA, for "untrusted certificate" tests
set(RV_TEST_CERT_DIR ${CMAKE_BINARY_DIR}/certs)
if(NOT EXISTS ${RV_TEST_CERT_DIR}/server.pem)
  find_program(OPENSSL_BIN openssl REQUIRED)
  file(MAKE_DIRECTORY ${RV_TEST_CERT_DIR})
  file(WRITE ${RV_TEST_CERT_DIR}/server.ext
    "basicConstraints=CA:FALSE\nsubjectAltName=IP:127.0.0.1,DNS:localhost\nextendedKeyUsage=serverAuth\n")
  foreach(step
      "req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 3650 -subj /CN=radio-sdk-test-ca"
      "req -x509 -newkey rsa:2048 -nodes -keyout other-ca.key -out other-ca.pem -days 3650 -subj /CN=radio-sdk-other-ca"
      "req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj /CN=127.0.0.1"
      "x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 3650 -extfile server.ext")
    separate_arguments(args UNIX_COMMAND "${step}")
    execute_process(COMMAND ${OPENSSL_BIN} ${args}
      WORKING_DIRECTORY ${RV_TEST_CERT_DIR}
      RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "openssl ${step} failed")
    endif()
  endforeach()
endif()
