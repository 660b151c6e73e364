# Warnings are errors everywhere.  The logo engine's double arithmetic must give
# the same bits on every CPU, so no fused multiply-add contraction.
add_compile_options(-Wall -Wextra -Werror -ffp-contract=off)

# Code that runs inside the plug-in: no exceptions, no RTTI, and section
# garbage collection so that unused toolkit functions stay out of the file.
function(velumo_plugin_code target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>
    -ffunction-sections -fdata-sections)
endfunction()

# 64-bit file offsets and inode numbers on the 32-bit receiver build too:
# without them readdir() and stat() fail on host file systems with large
# inode numbers (as under qemu-user).
add_compile_definitions(_FILE_OFFSET_BITS=64)
