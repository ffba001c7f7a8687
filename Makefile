# Front end over CMake. The README's ./play.sh and ./test.sh install what is missing, then come here.
BUILD    ?= build
SANITIZE ?= build-sanitize
ARM      ?= build-arm
WINDOWS  ?= build-windows
DEB      ?= build-deb
JOBS     ?= $(shell nproc)

.PHONY: all configure build run test test-sanitize bench clean art

all: build

configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release > /dev/null

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# Only the show itself, so playing does not wait for the tests and tools; it reads "musa.xm"
# from the current folder. Without a sound device (status 255) it says what to run instead.
run: configure
	cmake --build $(BUILD) -j$(JOBS) --target show
	@cd assets && ../$(BUILD)/show || { status=$$?; [ $$status -ne 255 ] || \
	  printf '%s\n' "No sound device here. Watch the show without sound: cd assets && SDL_AUDIODRIVER=dummy ../$(BUILD)/show" \
	    "or record it to a video file with: make video" >&2; exit $$status; }

# The real show against private sound servers runs alone, after the rest: it times the machine.
test: build test-sanitize
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)
	node --test tests/links.test.mjs
	scripts/test-package.sh $(BUILD) $(DEB)
	SHOW_BUILD=$(BUILD) node --test tests/playback.test.mjs

# The core's tests again under the address and undefined-behaviour sanitizers.
test-sanitize:
	cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHOW_SANITIZE=ON \
	  -DSHOW_SHELL=OFF -DSHOW_TOOLS=OFF -DSHOW_BENCH=OFF > /dev/null
	cmake --build $(SANITIZE) -j$(JOBS)
	ctest --test-dir $(SANITIZE) -L core --output-on-failure -j$(JOBS)

# Paints the seventeen pictures again into assets/pictures/ (the PNGs are committed; the build
# converts them into the program), and the menu's icons into assets/icons/ (the package's).
art: configure
	cmake --build $(BUILD) -j$(JOBS) --target paint
	$(BUILD)/paint assets/pictures
	$(BUILD)/paint --icons assets/icons

bench: build
	$(BUILD)/bench

clean:
	rm -rf $(BUILD) $(SANITIZE) $(ARM) $(WEB) $(WINDOWS) $(DEB)

# Regenerates the show's music, assets/musa.xm, with the composer (the file is committed).
.PHONY: music
music: build
	$(BUILD)/compose --out assets/musa.xm

# The ARM soft-float cross build under qemu: the core's tests, frames identical to the desktop's
# and the show program. Needs the desktop build for the picture converter and reference frames.
.PHONY: test-arm
test-arm: build
	scripts/test-arm.sh $(BUILD) $(ARM)

# The whole show with its music as show.mp4 in this folder, drawn and mixed offline and encoded by
# ffmpeg (build/capture; the README's "Capture").
.PHONY: video
video:
	scripts/setup.sh
	$(MAKE) -s configure
	cmake --build $(BUILD) -j$(JOBS) --target capture
	$(BUILD)/capture --module assets/musa.xm --out show.mp4

# The README's looping preview, docs/preview.gif: five seconds from the clock into the helmet.
.PHONY: preview
preview: configure
	cmake --build $(BUILD) -j$(JOBS) --target capture
	$(BUILD)/capture --module assets/musa.xm --gif --from 6000 --to 11000 --out docs/preview.gif

# The show as a web page (WebAssembly through Debian's emscripten) in build-web/site, the folder
# a web host serves; serve-web serves it here. test-web checks it in Chromium, Firefox and WebKit
# against the desktop renderer's frames and, through recording-check, the recorded song.
WEB  ?= build-web
PORT ?= 8000
.PHONY: web serve-web test-web
web:
	scripts/setup.sh web
	scripts/build-web.sh $(BUILD) $(WEB)

serve-web:
	node scripts/serve-web.mjs $(WEB)/site $(PORT)

test-web: configure
	cmake --build $(BUILD) -j$(JOBS) --target render png2src capture recording-check
	scripts/build-web.sh $(BUILD) $(WEB)
	npm ci --no-audit --no-fund --silent
	node --test tests/web/clock.test.mjs tests/web/page.test.mjs

# The release for the device: build-arm/Nocturne-device.tar.gz, the ARM show with the libraries it
# needs beyond the C library, musa.xm, its launcher and readme (docs/device.md).
.PHONY: device
device:
	scripts/setup.sh arm
	$(MAKE) -s build
	scripts/device.sh $(BUILD) $(ARM)

# ARM instructions per frame of every window of the timeline, counted exactly under qemu-arm
# (after make test-arm has built build-arm/).
.PHONY: bench-arm
bench-arm:
	scripts/bench-arm.sh $(ARM)

# The show for 64-bit Windows (MinGW-w64 over SDL 2 and libmikmod built from Debian's sources):
# build-windows/Nocturne-windows.zip. test-windows checks the zip's show.exe under Wine and its
# renderer's frames against the desktop's.
.PHONY: windows test-windows
windows:
	scripts/setup.sh windows
	scripts/build-windows.sh $(BUILD) $(WINDOWS)

test-windows: configure
	cmake --build $(BUILD) -j$(JOBS) --target render png2src
	scripts/build-windows.sh $(BUILD) $(WINDOWS)
	scripts/test-windows.sh $(BUILD) $(WINDOWS)

# The show as a Debian package, build-deb/nocturne_<version>_amd64.deb, by CPack from the install
# rules (src/package). test-package builds it, checks it with lintian, installs it into this
# machine with apt-get (as root, or through sudo), plays the installed show and removes it again.
.PHONY: deb test-package
deb:
	scripts/setup.sh
	scripts/build-deb.sh $(BUILD) $(DEB)

test-package:
	scripts/test-package.sh $(BUILD) $(DEB)

# Every door's artefact in release/ with SHA256SUMS (scripts/release.sh): the Debian package, the
# page's site (a folder and a .tar.gz), the Windows zip, the device's archive where make device
# exists, and the whole show as an MP4. A door whose tools are missing is named and skipped.
RELEASE ?= release
.PHONY: release
release:
	scripts/setup.sh
	scripts/release.sh --out $(RELEASE)
