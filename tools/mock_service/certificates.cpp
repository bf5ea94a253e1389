#include "certificates.h"

#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace rvmock {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
};
struct CertFree {
    void operator()(X509 *cert) const { X509_free(cert); }
};
struct ExtFree {
    void operator()(X509_EXTENSION *ext) const { X509_EXTENSION_free(ext); }
};
struct BioFree {
    void operator()(BIO *bio) const { BIO_free_all(bio); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Cert = std::unique_ptr<X509, CertFree>;

constexpr long kValidSeconds = 10L * 365 * 24 * 3600;

bool add_extension(X509 *cert, X509 *issuer, int nid, const char *value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    std::unique_ptr<X509_EXTENSION, ExtFree> ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
    return ext && X509_add_ext(cert, ext.get(), -1) == 1;
}

// A certificate of `key` named `name`, signed by `issuer_key` (and named after
// `issuer`; null: itself), with the extensions given as (nid, value) pairs.
Cert make_certificate(EVP_PKEY *key, const char *name, X509 *issuer, EVP_PKEY *issuer_key,
                      std::initializer_list<std::pair<int, const char *>> extensions) {
    Cert cert(X509_new());
    unsigned char serial[16];
    if (!cert || RAND_bytes(serial, sizeof serial) != 1) {
        return nullptr;
    }
    serial[0] &= 0x7f;  // positive
    std::unique_ptr<BIGNUM, decltype(&BN_free)> number(BN_bin2bn(serial, sizeof serial, nullptr),
                                                       BN_free);
    X509_NAME *subject = X509_get_subject_name(cert.get());
    const bool made =
        number && BN_to_ASN1_INTEGER(number.get(), X509_get_serialNumber(cert.get())) != nullptr &&
        X509_set_version(cert.get(), 2) == 1 &&
        X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) != nullptr &&
        X509_gmtime_adj(X509_getm_notAfter(cert.get()), kValidSeconds) != nullptr &&
        X509_set_pubkey(cert.get(), key) == 1 &&
        X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char *>(name), -1, -1, 0) == 1 &&
        X509_set_issuer_name(cert.get(),
                             issuer != nullptr ? X509_get_subject_name(issuer) : subject) == 1;
    if (!made) {
        return nullptr;
    }
    X509 *signer = issuer != nullptr ? issuer : cert.get();
    for (const auto &[nid, value] : extensions) {
        if (!add_extension(cert.get(), signer, nid, value)) {
            return nullptr;
        }
    }
    if (X509_sign(cert.get(), issuer_key, EVP_sha256()) <= 0) {
        return nullptr;
    }
    return cert;
}

// Writes through `write` into `path` (mode `mode`) by way of a temporary file.
template <class Write>
bool write_file(const std::filesystem::path &path, mode_t mode, Write write) {
    const std::filesystem::path temporary = path.string() + ".new";
    const int fd =
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        return false;
    }
    fchmod(fd, mode);  // whatever the umask
    bool ok = false;
    {
        std::unique_ptr<BIO, BioFree> bio(BIO_new_fd(fd, BIO_CLOSE));
        if (!bio) {
            close(fd);
            return false;
        }
        ok = write(bio.get()) && BIO_flush(bio.get()) == 1 && fsync(fd) == 0;
    }
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool ensure_certificates(const std::string &dir, std::string &error) {
    const std::filesystem::path base(dir);
    std::error_code code;
    std::filesystem::create_directories(base, code);
    if (code || chmod(base.c_str(), 0700) != 0) {
        error = "cannot make " + dir;
        return false;
    }
    const std::filesystem::path ca_pem = base / "ca.pem", server_pem = base / "server.pem",
                                server_key = base / "server.key";
    if (std::filesystem::exists(ca_pem) && std::filesystem::exists(server_pem) &&
        std::filesystem::exists(server_key)) {
        return true;
    }
    const Key ca_key(EVP_EC_gen("P-256")), key(EVP_EC_gen("P-256"));
    if (!ca_key || !key) {
        error = "cannot make a key";
        return false;
    }
    const Cert ca =
        make_certificate(ca_key.get(), "rv-mock-service local CA", nullptr, ca_key.get(),
                         {{NID_basic_constraints, "critical,CA:TRUE,pathlen:0"},
                          {NID_key_usage, "critical,keyCertSign,cRLSign"},
                          {NID_subject_key_identifier, "hash"}});
    const Cert server = ca ? make_certificate(key.get(), "127.0.0.1", ca.get(), ca_key.get(),
                                              {{NID_basic_constraints, "critical,CA:FALSE"},
                                               {NID_key_usage, "critical,digitalSignature"},
                                               {NID_ext_key_usage, "serverAuth"},
                                               {NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost"},
                                               {NID_authority_key_identifier, "keyid"}})
                           : nullptr;
    if (!server) {
        error = "cannot make the certificates";
        return false;
    }
    // The key first and the CA last: a set is complete only with all three.
    const bool written =
        write_file(server_key, 0600,
                   [&](BIO *bio) {
                       return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr,
                                                       nullptr) == 1;
                   }) &&
        write_file(server_pem, 0644,
                   [&](BIO *bio) { return PEM_write_bio_X509(bio, server.get()) == 1; }) &&
        write_file(ca_pem, 0644, [&](BIO *bio) { return PEM_write_bio_X509(bio, ca.get()) == 1; });
    if (!written) {
        error = "cannot write the certificates into " + dir;
        return false;
    }
    return true;
}

}  // namespace rvmock
