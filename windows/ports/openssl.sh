# OpenSSL: libcrypto hashes the downloads, libssl carries Qt's https:.
package=openssl
depends=()
# pic.patch makes OpenSSL's 32-bit x86 assembler position-independent through
# the ELF global offset table, which a Windows object file cannot represent
# (the i686 build fails in des-586.S). The x86_64 build uses none of the files
# it changes.
unpatched_i686=(pic.patch)
unpatched_x86_64=()
patches=()

# no-autoload-config: OpenSSL reads no openssl.cnf by itself. The compiled-in
# folders are OpenSSL's own defaults for Windows (admin-only), never a path
# of the build machine, which on Windows any user could create on drive C:.
recipe_openssl() {
  local dirs=(OPENSSLDIR="$programs/Common Files/SSL" ENGINESDIR="$programs/OpenSSL/lib/engines-3"
              MODULESDIR="$programs/OpenSSL/lib/ossl-modules")
  ./Configure "$ossl_target" shared no-tests no-autoload-config --cross-compile-prefix="$triple-" \
    --prefix="$final" --libdir=lib --openssldir="$programs/Common Files/SSL"
  make -j"$jobs" "${dirs[@]}" build_libs
  make "${dirs[@]}" DESTDIR="$stage" install_dev
}
