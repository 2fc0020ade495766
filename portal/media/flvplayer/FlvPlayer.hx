import flash.display.Sprite;
import flash.display.StageAlign;
import flash.display.StageDisplayState;
import flash.display.StageScaleMode;
import flash.events.Event;
import flash.events.MouseEvent;
import flash.events.NetStatusEvent;
import flash.media.Video;
import flash.net.NetConnection;
import flash.net.NetStream;
import flash.text.TextField;
import flash.text.TextFieldAutoSize;
import flash.text.TextFormat;

/**
 * The video-player movie.  Flash variables (from the embedding page, or from
 * the query part of the movie's own address):
 *   file           address of the FLV to play; "0.swf" or nothing = show nothing
 *   overstretch    "true": stretch the picture over the whole area, ignoring
 *                  its proportions; otherwise fit it and keep them
 *   autostart      "true": start at once; otherwise wait for the play button
 *   showplayerbar  "true": show the bar with play/pause, progress and full screen
 *   showdigits     "true": show the time played and the length in the bar
 * callback, enablejs and streamscript are accepted and have no effect: there
 * is no statistics server and a local file needs no streaming script.
 */
class FlvPlayer extends Sprite {
	static inline var BAR = 32;
	// a file that sends nothing at all for this long cannot be played
	static inline var GIVE_UP_MS = 4000;

	var file = "";
	var overstretch = false;
	var autostart = true;
	var showBar = false;
	var showDigits = false;

	var video:Video;
	var stream:NetStream;
	var screen = new Sprite(); // black, holds the video, takes clicks
	var overlay = new Sprite(); // big play sign, waiting spinner, error sign
	var bar = new Sprite();
	var playButton = new Sprite();
	var track = new Sprite();
	var fullButton = new Sprite();
	var digits:TextField;

	var started = false;
	var playing = false;
	var ended = false;
	var failed = false;
	var haveFrame = false;
	var duration = 0.0;
	var videoW = 0.0;
	var videoH = 0.0;
	var frame = 0;
	var startedAt = 0;

	public function new() {
		super();
		readVariables();
		var stage = flash.Lib.current.stage;
		stage.scaleMode = StageScaleMode.NO_SCALE;
		stage.align = StageAlign.TOP_LEFT;

		addChild(screen);
		video = new Video(320, 240);
		video.smoothing = true;
		video.visible = false; // until it has a picture to show
		screen.addChild(video);
		addChild(overlay);
		overlay.mouseEnabled = false;
		if (file == "" || file == "0.swf") {
			// the stop value: an empty, black player
			stage.addEventListener(Event.RESIZE, function(_) layout());
			layout();
			return;
		}

		buildBar();
		screen.buttonMode = true;
		screen.addEventListener(MouseEvent.CLICK, function(_) togglePlay());
		stage.addEventListener(Event.RESIZE, function(_) layout());
		stage.addEventListener(Event.FULLSCREEN, function(_) layout());
		addEventListener(Event.ENTER_FRAME, tick);

		var connection = new NetConnection();
		connection.connect(null);
		stream = new NetStream(connection);
		stream.client = {onMetaData: onMetaData};
		stream.addEventListener(NetStatusEvent.NET_STATUS, onStatus);
		video.attachNetStream(stream);
		layout();
		if (autostart)
			start();
	}

	function readVariables() {
		var vars:Dynamic = flash.Lib.current.loaderInfo.parameters;
		var fromUrl = queryOf(flash.Lib.current.loaderInfo.url);
		function get(name:String):String {
			var v:Dynamic = Reflect.field(vars, name);
			if (v == null)
				v = fromUrl.get(name);
			return v == null ? "" : Std.string(v);
		}
		file = StringTools.trim(get("file"));
		overstretch = get("overstretch").toLowerCase() == "true";
		autostart = get("autostart").toLowerCase() != "false";
		showBar = get("showplayerbar").toLowerCase() == "true";
		showDigits = get("showdigits").toLowerCase() == "true";
	}

	static function queryOf(url:String):Map<String, String> {
		var result = new Map<String, String>();
		if (url == null)
			return result;
		var q = url.indexOf("?");
		if (q < 0)
			return result;
		var query = url.substr(q + 1);
		var hash = query.indexOf("#");
		if (hash >= 0)
			query = query.substr(0, hash);
		for (pair in query.split("&")) {
			var eq = pair.indexOf("=");
			if (eq <= 0)
				continue;
			var key = pair.substr(0, eq);
			var value = pair.substr(eq + 1);
			var decoded = StringTools.urlDecode(value);
			result.set(key, decoded == null ? value : decoded);
		}
		return result;
	}

	function start() {
		started = true;
		startedAt = flash.Lib.getTimer();
		ended = false;
		failed = false;
		playing = true;
		stream.play(file);
	}

	function togglePlay() {
		if (!started || ended || failed) {
			start();
		} else if (playing) {
			stream.pause();
			playing = false;
		} else {
			stream.resume();
			playing = true;
		}
		drawBar();
	}

	function toggleFullScreen() {
		var stage = flash.Lib.current.stage;
		try {
			stage.displayState = stage.displayState == StageDisplayState.NORMAL ? StageDisplayState.FULL_SCREEN : StageDisplayState.NORMAL;
		} catch (e:Dynamic) {
			// the page does not allow full screen: stay as we are
		}
	}

	function onMetaData(info:Dynamic) {
		var d:Dynamic = Reflect.field(info, "duration");
		var w:Dynamic = Reflect.field(info, "width");
		var h:Dynamic = Reflect.field(info, "height");
		if (d != null)
			duration = d;
		if (w != null && h != null) {
			videoW = w;
			videoH = h;
		}
		layout();
	}

	function onStatus(e:NetStatusEvent) {
		var code:String = Reflect.field(e.info, "code");
		switch (code) {
			case "NetStream.Play.Stop":
				ended = true;
				playing = false;
			case "NetStream.Play.StreamNotFound", "NetStream.Play.Failed":
				failed = true;
				playing = false;
			default:
		}
		drawBar();
	}

	function area():{w:Float, h:Float} {
		var stage = flash.Lib.current.stage;
		var w:Float = stage.stageWidth, h:Float = stage.stageHeight;
		if (showBar && file != "" && file != "0.swf")
			h -= BAR;
		return {w: Math.max(1, w), h: Math.max(1, h)};
	}

	function layout() {
		var stage = flash.Lib.current.stage;
		var a = area();
		screen.graphics.clear();
		screen.graphics.beginFill(0x000000);
		screen.graphics.drawRect(0, 0, stage.stageWidth, stage.stageHeight);
		screen.graphics.endFill();
		if (overstretch || videoW <= 0 || videoH <= 0) {
			video.x = 0;
			video.y = 0;
			video.width = a.w;
			video.height = a.h;
		} else {
			var s = Math.min(a.w / videoW, a.h / videoH);
			video.width = videoW * s;
			video.height = videoH * s;
			video.x = (a.w - video.width) / 2;
			video.y = (a.h - video.height) / 2;
		}
		bar.visible = showBar && file != "" && file != "0.swf";
		bar.y = a.h;
		drawBar();
	}

	function buildBar() {
		addChild(bar);
		bar.addChild(playButton);
		bar.addChild(track);
		bar.addChild(fullButton);
		digits = new TextField();
		digits.defaultTextFormat = new TextFormat("_sans", 12, 0xFFFFFF);
		digits.autoSize = TextFieldAutoSize.LEFT;
		digits.selectable = false;
		digits.mouseEnabled = false;
		bar.addChild(digits);
		for (b in [playButton, track, fullButton])
			b.buttonMode = true;
		playButton.addEventListener(MouseEvent.CLICK, function(_) togglePlay());
		fullButton.addEventListener(MouseEvent.CLICK, function(_) toggleFullScreen());
		track.addEventListener(MouseEvent.CLICK, function(_) {
			if (duration > 0 && started && !failed) {
				var at = Math.max(0, Math.min(1, track.mouseX / trackWidth()));
				if (ended)
					start();
				stream.seek(at * duration);
			}
		});
	}

	function trackWidth():Float {
		var w = flash.Lib.current.stage.stageWidth;
		var used = 40 + 36 + (showDigits ? 96 : 8);
		return Math.max(20, w - used);
	}

	function drawBar() {
		if (!bar.visible)
			return;
		var w = flash.Lib.current.stage.stageWidth;
		var g = bar.graphics;
		g.clear();
		g.beginFill(0x202020);
		g.drawRect(0, 0, w, BAR);
		g.endFill();
		g.beginFill(0x3A3A3A);
		g.drawRect(0, 0, w, 1);
		g.endFill();

		var pg = playButton.graphics;
		pg.clear();
		pg.beginFill(0x202020, 0.01);
		pg.drawRect(0, 0, 36, BAR);
		pg.endFill();
		pg.beginFill(0xFFFFFF);
		if (playing) {
			pg.drawRect(12, 9, 5, 14);
			pg.drawRect(21, 9, 5, 14);
		} else {
			pg.moveTo(13, 8);
			pg.lineTo(27, 16);
			pg.lineTo(13, 24);
		}
		pg.endFill();

		var tw = trackWidth();
		track.x = 40;
		var tg = track.graphics;
		tg.clear();
		tg.beginFill(0x202020, 0.01);
		tg.drawRect(0, 4, tw, BAR - 8);
		tg.endFill();
		tg.beginFill(0x555555);
		tg.drawRoundRect(0, 13, tw, 6, 6, 6);
		tg.endFill();
		var loaded = stream != null && stream.bytesTotal > 0 ? stream.bytesLoaded / stream.bytesTotal : 0;
		tg.beginFill(0x888888);
		tg.drawRoundRect(0, 13, tw * Math.min(1, loaded), 6, 6, 6);
		tg.endFill();
		var played = position() / Math.max(0.001, duration);
		if (ended)
			played = 1;
		played = Math.max(0, Math.min(1, played));
		tg.beginFill(0x4FC3F7);
		tg.drawRoundRect(0, 13, tw * played, 6, 6, 6);
		tg.drawCircle(tw * played, 16, 6);
		tg.endFill();

		digits.visible = showDigits;
		if (showDigits) {
			digits.text = clock(ended ? duration : position()) + " / " + clock(duration);
			digits.x = 40 + tw + 8;
			digits.y = (BAR - digits.height) / 2;
		}

		fullButton.x = w - 34;
		var fg = fullButton.graphics;
		fg.clear();
		fg.beginFill(0x202020, 0.01);
		fg.drawRect(0, 0, 34, BAR);
		fg.endFill();
		fg.lineStyle(2, 0xFFFFFF);
		for (c in [[8, 8, 1, 1], [26, 8, -1, 1], [8, 24, 1, -1], [26, 24, -1, -1]]) {
			fg.moveTo(c[0], c[1] + c[3] * 6);
			fg.lineTo(c[0], c[1]);
			fg.lineTo(c[0] + c[2] * 6, c[1]);
		}
		fg.lineStyle();
	}

	function position():Float {
		return stream == null ? 0 : Math.max(0, stream.time);
	}

	static function clock(seconds:Float):String {
		var s = Std.int(Math.max(0, seconds));
		var rest = s % 60;
		return Std.int(s / 60) + ":" + (rest < 10 ? "0" : "") + rest;
	}

	function tick(_) {
		frame++;
		if (!haveFrame && position() > 0) {
			haveFrame = true;
			video.visible = true;
			layout();
		}
		if (started && !haveFrame && !ended) {
			// nothing arrives (the file is missing or the server does not
			// answer): say so; should it arrive after all, play it
			var nothing = stream.bytesLoaded == 0 && videoW <= 0;
			if (nothing && !failed && flash.Lib.getTimer() - startedAt > GIVE_UP_MS) {
				failed = true;
				playing = false;
				drawBar();
			} else if (!nothing && failed) {
				failed = false;
				playing = true;
			}
		}
		if (frame % 5 == 0)
			drawBar();
		// the sign in the middle: play when waiting, a spinner while the first
		// picture is on its way, a cross when the file cannot be played
		var a = area();
		var g = overlay.graphics;
		g.clear();
		var cx = a.w / 2, cy = a.h / 2;
		if (failed) {
			g.lineStyle(6, 0xE57373);
			g.moveTo(cx - 20, cy - 20);
			g.lineTo(cx + 20, cy + 20);
			g.moveTo(cx + 20, cy - 20);
			g.lineTo(cx - 20, cy + 20);
			g.lineStyle();
		} else if (!playing) {
			g.beginFill(0x000000, 0.5);
			g.drawCircle(cx, cy, 34);
			g.endFill();
			g.beginFill(0xFFFFFF, 0.9);
			g.moveTo(cx - 11, cy - 18);
			g.lineTo(cx + 19, cy);
			g.lineTo(cx - 11, cy + 18);
			g.endFill();
		} else if (!haveFrame) {
			for (i in 0...8) {
				var ang = (i + frame / 3) * Math.PI / 4;
				g.beginFill(0xFFFFFF, (i + 1) / 8);
				g.drawCircle(cx + Math.cos(ang) * 20, cy + Math.sin(ang) * 20, 4);
				g.endFill();
			}
		}
	}

	static function main() {
		flash.Lib.current.addChild(new FlvPlayer());
	}
}
