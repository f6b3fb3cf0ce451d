# The sanitizers of the sanitizer build and the fuzz targets: AddressSanitizer and
# UndefinedBehaviorSanitizer, every report ending the program that makes it. Float-to-integer
# conversions that overflow are checked too; divisions by zero are not, since the plugin relies on
# IEEE arithmetic there.
set(NIGHTGLASS_SANITIZE_FLAGS -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all)
