# arm.sh: what the ARM scripts share, sourced with $arm set to the ARM build folder: the library
# paths of the toolchain and of the sysroot, running an ARM program under qemu-arm, and counting
# the ARM instructions it executes.
toolchainRoot=/usr/arm-linux-gnueabi
sysroot=$arm/sysroot
# libpulse keeps its private common library in a folder of its own.
libraryPath=$sysroot/usr/lib/arm-linux-gnueabi:$sysroot/lib/arm-linux-gnueabi:$sysroot/usr/lib/arm-linux-gnueabi/pulseaudio

# Runs an ARM program on an ARM926 core (ARMv5TE, no floating-point hardware, as the device), with
# the toolchain's C library and the sysroot's other libraries.
onArm() { qemu-arm -cpu arm926 -L "$toolchainRoot" -E LD_LIBRARY_PATH="$libraryPath" "$@"; }

# Counting: qemu logs every translated block's guest instructions (-d in_asm) and every execution
# of a block (-d exec, with the processor, that is the thread, that ran it; nochain sends each
# execution through the logged path). The log streams through a pipe into awk and never reaches
# the disk; the counts are exact and the same on every run of the same build.
#   countArm AWK_PROGRAM QEMU_OPTIONS_AND_PROGRAM...
# runs the program and hands awk, for each block executed, the thread's number (thread), the
# block's address (pc), its symbol (symbol) and its instructions (size), as a function call
# executed(thread, pc, symbol, size) that the given program defines, with its own END; it reads
# settings of its own from ENVIRON.
countArm() {
  program=$1
  shift
  qemu-arm -L "$toolchainRoot" -E LD_LIBRARY_PATH="$libraryPath" -d in_asm,exec,nochain -D /dev/stdout "$@" |
    awk '
      /^IN:/ { inBlock = 1; length_ = 0; next }                    # a block translated: its lines follow
      inBlock && /^0x/ { if (length_ == 0) first = substr($1, 3, 8); ++length_; next }
      inBlock { size[first] = length_; inBlock = 0 }              # the blank line after the block
      /^Trace / {                                                  # a block executed: N: ... [.../pc/...] symbol
        split($4, field, "/"); pc = field[2]
        if (!(pc in size)) { print "arm: block " pc " executed before it was seen" > "/dev/stderr"; exit 1 }
        executed(substr($2, 1, length($2) - 1), pc, $5, size[pc])
      }
      '"$program"
}

# Prints, for each call of a function named by the pattern (mangled names) made from main, the
# name and the instructions executed from its entry to the return into main. The program runs on
# an ARM926 core.
countCalls() {
  pattern="^($1)$"
  shift
  pattern=$pattern countArm 'function executed(thread, pc, symbol, size) {
      if (inside && symbol == "main") { print which, count; inside = 0 }
      if (!inside && symbol ~ ENVIRON["pattern"]) { inside = 1; which = symbol; count = 0 }
      if (inside) count += size
    }' -cpu arm926 "$@"
}

# Prints the instructions the program executes from its start to its end, every thread's.
countAll() {
  countArm 'function executed(thread, pc, symbol, size) { total += size } END { print total }' -cpu arm926 "$@"
}
