# make run   installs what is missing, builds, starts the program
# make test  installs what is missing, builds, runs every test
# make test-sanitize  the tests again under AddressSanitizer and UndefinedBehaviorSanitizer
# make fuzz  builds the fuzz targets with clang and runs each from its corpus (FUZZ_SECONDS each, JOBS at a time)
# make long-run  ten minutes against misbehaving address and mail servers (not part of CI)
# make bench     start-up time beside a minimal Qt Widgets program, memory and idle processor time;
#                the lookup's requests and time, hedged beside all sources at once, healthy and with a late one;
#                mail over plain SMTP, STARTTLS and TLS;
#                address change on an interface (in a network namespace) to the lookup's end
#                the History window opened over 100,000 changes beside a table view over an empty model
#                a change's notices: mail alone beside mail, two web requests, MQTT and DNS UPDATE at once
# make image     the headless watcher's container image, an OCI archive: $(BUILD)/tarnwick-ip-vistrel-image.tar
# make deb       the Debian package: $(BUILD)/tarnwick-ip-vistrel_<version>_amd64.deb
# make test-packages  both built and tried: the image's root in a network namespace, the package installed in a
#                clean Debian 12 root (made by mmdebstrap, the only step that reaches the package mirror), lintian
#                and appstreamcli (not part of make test: several minutes)
# make windows   cross-builds for 64-bit Windows into build-windows/ (dependencies: windows/build-deps.sh)

BUILD ?= build
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
PACKAGES = g++ cmake make qt6-base-dev libqt6sql6-sqlite libssl-dev nginx-light python3-aiosmtpd python3-scapy python3-cryptography openssl pkg-config libc-ares-dev dnsmasq-base coturn iproute2 qtkeychain-qt6-dev gnome-keyring libsecret-tools dbus dbus-daemon python3-dbus dunst xvfb at-spi2-core python3-pyatspi systemd man-db groff-base mandoc libmosquitto-dev mosquitto mosquitto-clients libldns-dev bind9 bind9-dnsutils knot knot-dnsutils libnatpmp-dev miniupnpd miniupnpd-nftables radvd prometheus
FUZZ_PACKAGES = clang libclang-rt-14-dev
CTEST_FLAGS ?= --output-on-failure
WINDOWS_BUILD ?= build-windows
WINDOWS_PACKAGES = g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64 nsis ninja-build imagemagick dpkg-dev tcl

.PHONY: deps deps-fuzz deps-windows windows build run test test-sanitize fuzz long-run bench bench-run clean
.PHONY: deps-packages build-package image deb test-packages

deps:
	@missing=""; for p in $(PACKAGES); do dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
		echo "Installing:$$missing"; \
		SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
		$$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	fi

deps-fuzz:
	@$(MAKE) --no-print-directory deps PACKAGES="$(FUZZ_PACKAGES)"

deps-windows: deps
	@$(MAKE) --no-print-directory deps PACKAGES="$(WINDOWS_PACKAGES)"

# The dependencies come from the cache (built there the first time), the host's Qt gives the build tools.
windows: deps-windows
	prefixes="$$(windows/build-deps.sh | tail -n1)" && \
	cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=windows/mingw64-toolchain.cmake \
		-DCMAKE_PREFIX_PATH="$$prefixes" -DQT_HOST_PATH=/usr -DCMAKE_BUILD_TYPE=Release >/dev/null && \
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) && \
	windows/stage.sh $(WINDOWS_BUILD) "$$prefixes" --tests && \
	windows/stage.sh $(WINDOWS_BUILD)/testing "$$prefixes" --tests

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/tarnwick-ip-vistrel

test: build
	cd $(BUILD) && ctest $(CTEST_FLAGS) -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(BUILD)-sanitize -DCMAKE_BUILD_TYPE=Debug -DVISTREL_SANITIZE=ON >/dev/null
	cmake --build $(BUILD)-sanitize -j $(JOBS)
	cd $(BUILD)-sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest $(CTEST_FLAGS) -j $(JOBS)

fuzz: deps deps-fuzz
	CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVISTREL_FUZZ=ON -DVISTREL_TESTS=OFF >/dev/null
	cmake --build $(BUILD)-fuzz -j $(JOBS)
	fuzz/run.sh $(BUILD)-fuzz $(FUZZ_SECONDS) $(JOBS)

long-run: build
	/usr/bin/python3 tests/reliability/long_run.py --binary $(BUILD)/testing/tarnwick-ip-vistrel --minutes 10.5

# Inside a network namespace with only loopback: nothing a benchmark starts can reach past this machine.
bench: build
	unshare -n sh -c 'ip link set lo up && exec "$$0" "$$@"' $(MAKE) --no-print-directory bench-run

bench-run:
	/usr/bin/python3 bench/startup_idle.py --binary $(BUILD)/tarnwick-ip-vistrel --minimal $(BUILD)/tests/desktop/minimal_qt
	./$(BUILD)/tests/discovery/lookup_bench
	./$(BUILD)/tests/historywindow/history_bench
	bench/smtp_bench.sh $(BUILD) 2 20
	/usr/bin/python3 bench/network_change.py --binary $(BUILD)/tarnwick-ip-vistrel
	/usr/bin/python3 bench/headless.py --binary $(BUILD)/tarnwick-ip-vistrel
	/usr/bin/python3 bench/notice_kinds.py --binary $(BUILD)/tarnwick-ip-vistrel-headless
	/usr/bin/python3 bench/notice_kinds.py --binary $(BUILD)/tarnwick-ip-vistrel-headless --mail-delay 0.01
	/usr/bin/python3 bench/dns_hosts.py --binary $(BUILD)/tarnwick-ip-vistrel-headless

clean:
	rm -rf $(BUILD) $(BUILD)-sanitize $(BUILD)-fuzz $(WINDOWS_BUILD)

# ---- The container image and the Debian package, from the build tree ----
PACKAGE_TOOLS = mmdebstrap lintian appstream podman dpkg-dev binutils
PACKAGE_ROOT = $(BUILD)/debian12-root

deps-packages: deps
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGE_TOOLS)"

build-package: deps-packages
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target tarnwick-ip-vistrel tarnwick-ip-vistrel-headless vistrel_manual_page \
		vistrel_package_documents

image: build-package
	/usr/bin/python3 packaging/image/build_image.py --binary $(BUILD)/tarnwick-ip-vistrel-headless \
		--version "$$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=\([0-9]*\.[0-9]*\).*/\1/p' $(BUILD)/CMakeCache.txt)" \
		--output $(BUILD)/tarnwick-ip-vistrel-image.tar

deb: build-package
	rm -f $(BUILD)/tarnwick-ip-vistrel_*_amd64.deb
	cd $(BUILD) && cpack -G DEB >/dev/null && ls -1 $(CURDIR)/$(BUILD)/tarnwick-ip-vistrel_*_amd64.deb

# The Debian 12 root is made anew each time, the package installed in it by apt with the mirror reachable;
# everything after that runs in a network namespace with only loopback.
test-packages: image deb
	appstreamcli validate --no-net resources/tarnwick-ip-vistrel.metainfo.xml
	lintian --fail-on error --tag-display-limit 0 $(BUILD)/tarnwick-ip-vistrel_*_amd64.deb
	rm -rf $(PACKAGE_ROOT)
	deb=$$(cd $(BUILD) && ls tarnwick-ip-vistrel_*_amd64.deb) && mmdebstrap --mode=unshare --variant=apt --quiet \
		--customize-hook="copy-in $(BUILD)/$$deb /tmp" \
		--customize-hook="chroot \"\$$1\" apt-get install -y -q /tmp/$$deb" \
		--customize-hook='chroot "$$1" apt-get clean' \
		bookworm $(PACKAGE_ROOT)
	unshare -n sh -c 'ip link set lo up && exec "$$0" "$$@"' /usr/bin/python3 tests/deploy/packages_test.py \
		--image $(BUILD)/tarnwick-ip-vistrel-image.tar --root $(PACKAGE_ROOT)

# ---- Windows: setup program, portable zip, tests and benchmark under Wine ----
# make windows-package  the Windows programs with their DLLs and plugins in build-windows/stage/, and from that folder
#                       build-windows/dist/Tarnwick-IP-Vistrel-<version>-setup.exe and -portable.zip
# make test-windows     the Windows build's tests under wine64, each in a fresh prefix, then the setup program's check
# make bench-windows    start-up beside the minimal Qt Widgets program, idle processor time, setup and installed sizes
WINDOWS_SHIP_PACKAGES = wine64 nsis xvfb
# The target that cross-builds $(WINDOWS_BUILD) (empty: use the tree as it is).
WINDOWS_BUILD_TARGET ?= windows
WINDOWS_PROGRAMS ?= $(WINDOWS_BUILD)/tarnwick-ip-vistrel.exe $(WINDOWS_BUILD)/tarnwick-ip-vistrel-headless.exe
WINDOWS_MINIMAL ?= $(WINDOWS_BUILD)/tests/desktop/minimal_qt.exe
# Qt and the other libraries for Windows: the prefixes the tree was configured with, separated by ';'.
WINDOWS_PREFIXES = $(shell sed -n 's|^CMAKE_PREFIX_PATH:[A-Z]*=||p' $(WINDOWS_BUILD)/CMakeCache.txt 2>/dev/null)

.PHONY: deps-windows-ship windows-package test-windows bench-windows

deps-windows-ship:
	@$(MAKE) --no-print-directory deps PACKAGES="$(WINDOWS_SHIP_PACKAGES)"

# stage FOLDER PROGRAMS...: the programs, stripped, with what they load beside them
windows_stage = rm -rf $(1) && mkdir -p $(1) && cp $(2) $(1)/ && x86_64-w64-mingw32-strip --strip-unneeded $(1)/*.exe && \
	windows/stage.sh $(1) "$(WINDOWS_PREFIXES)"

windows-package: deps-windows-ship $(WINDOWS_BUILD_TARGET)
	$(call windows_stage,$(WINDOWS_BUILD)/stage,$(WINDOWS_PROGRAMS))
	windows/package.sh $(WINDOWS_BUILD)/stage $(WINDOWS_BUILD)/dist

test-windows: windows-package
	windows/test-windows.sh $(WINDOWS_BUILD) -j $(JOBS)

bench-windows: windows-package
	$(call windows_stage,$(WINDOWS_BUILD)/stage-minimal,$(WINDOWS_MINIMAL))
	unshare -n sh -c 'ip link set lo up && exec "$$0" "$$@"' /usr/bin/python3 bench/startup_idle_wine.py \
		$(firstword $(wildcard $(WINDOWS_BUILD)/dist/Tarnwick-IP-Vistrel-*-setup.exe)) $(WINDOWS_BUILD)/stage-minimal
