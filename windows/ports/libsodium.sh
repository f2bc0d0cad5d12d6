# libsodium: the Ed25519 check of the catalogue's minisign signature.
package=libsodium
depends=()
unpatched_i686=()
unpatched_x86_64=()
patches=()

recipe_libsodium() {
  autoreconf -fi   # the source package holds no configure script
  ./configure --host="$triple" --prefix="$final" --disable-static --enable-shared CC="$triple-gcc-posix"
  make -j"$jobs"
  make DESTDIR="$stage" install
}
