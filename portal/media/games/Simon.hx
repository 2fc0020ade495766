import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;

/** Watch the coloured pads light up, then press them in the same order. */
class Simon extends Sprite {
	static var colours = [0xE8383D, 0x3CC47C, 0x2D9CDB, 0xFFD23F];

	var pads:Array<Sprite> = [];
	var lit:Array<Int> = [0, 0, 0, 0];
	var tune:Array<Int> = [];
	var showing = 0; // index into tune while the movie shows it
	var timer = 40;
	var listening = false;
	var typed = 0;
	var frame = 0;
	var level:flash.text.TextField;
	var hub = new Sprite();

	public function new() {
		super();
		Kit.sky(graphics, 0xF3E5F5, 0xD1C4E9);
		for (i in 0...4) {
			var p = new Sprite();
			p.x = 275 + (i % 2 == 0 ? -1 : 1) * 85 - 75;
			p.y = 200 + (i < 2 ? -1 : 1) * 85 - 75;
			p.buttonMode = true;
			p.addEventListener(MouseEvent.MOUSE_DOWN, press);
			addChild(p);
			pads.push(p);
		}
		hub.x = 275;
		hub.y = 200;
		hub.mouseEnabled = false;
		addChild(hub);
		level = Kit.scoreBox(this, Kit.W - 125, 10, 0x9B51E0);
		tune.push(Kit.rand(4));
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function press(e:MouseEvent) {
		if (!listening)
			return;
		var i = pads.indexOf(cast e.currentTarget);
		lit[i] = 8;
		if (tune[typed] == i) {
			typed++;
			if (typed == tune.length) {
				listening = false;
				level.text = Std.string(tune.length);
				Kit.sparkle(this, 275, 200, colours[i], 14);
				tune.push(Kit.rand(4));
				showing = 0;
				timer = 45;
			}
		} else {
			// a wrong pad: show the same tune again, slowly
			listening = false;
			showing = 0;
			timer = 45;
		}
	}

	function tick(_) {
		frame++;
		if (!listening && --timer <= 0) {
			if (showing < tune.length) {
				lit[tune[showing]] = 14;
				showing++;
				timer = 22;
			} else {
				listening = true;
				typed = 0;
			}
		}
		for (i in 0...4) {
			if (lit[i] > 0)
				lit[i]--;
			var g = pads[i].graphics;
			g.clear();
			g.beginFill(0x000000, 0.2);
			g.drawRoundRect(4, 6, 150, 150, 40, 40);
			g.endFill();
			g.beginFill(colours[i], lit[i] > 0 ? 1 : 0.45);
			g.drawRoundRect(0, 0, 150, 150, 40, 40);
			g.endFill();
			if (lit[i] > 0) {
				g.beginFill(0xFFFFFF, 0.5);
				g.drawCircle(75, 75, 30);
				g.endFill();
			}
		}
		// the star in the middle turns; green while the movie waits for the child
		var g = hub.graphics;
		g.clear();
		g.beginFill(listening ? 0x3CC47C : 0x9B51E0);
		g.drawCircle(0, 0, 22);
		g.endFill();
		Kit.star(g, 0, 0, 16, 0xFFFFFF, frame / 10);
	}

	static function main() {
		Kit.start(new Simon());
	}
}
