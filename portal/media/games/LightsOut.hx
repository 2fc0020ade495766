import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;

/** Light every lamp: a click switches a lamp and its neighbours. */
class LightsOut extends Sprite {
	static inline var N = 4;

	var on:Array<Bool> = [];
	var lamps:Array<Sprite> = [];
	var frame = 0;
	var party = 0;
	var moon = new Sprite();

	public function new() {
		super();
		Kit.sky(graphics, 0x1E2A4A, 0x3B4F7A);
		moon.graphics.beginFill(0xFFF3B0);
		moon.graphics.drawCircle(0, 0, 30);
		moon.graphics.endFill();
		moon.graphics.beginFill(0x1E2A4A);
		moon.graphics.drawCircle(12, -8, 26);
		moon.graphics.endFill();
		moon.x = 480;
		moon.y = 60;
		addChild(moon);
		for (i in 0...N * N) {
			var s = new Sprite();
			s.x = 140 + (i % N) * 85;
			s.y = 55 + Std.int(i / N) * 85;
			s.buttonMode = true;
			s.addEventListener(MouseEvent.CLICK, press);
			addChild(s);
			lamps.push(s);
			on.push(true);
		}
		scramble();
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function scramble() {
		for (i in 0...N * N)
			on[i] = true;
		// switching from the all-lit board keeps every puzzle solvable
		while (allOn())
			for (k in 0...3)
				toggle(Kit.rand(N * N));
		party = 0;
	}

	function allOn():Bool {
		return on.indexOf(false) < 0;
	}

	function toggle(i:Int) {
		var c = i % N, r = Std.int(i / N);
		for (d in [[0, 0], [1, 0], [-1, 0], [0, 1], [0, -1]]) {
			var cc = c + d[0], rr = r + d[1];
			if (cc >= 0 && cc < N && rr >= 0 && rr < N)
				on[rr * N + cc] = !on[rr * N + cc];
		}
	}

	function press(e:MouseEvent) {
		if (party > 0)
			return;
		var i = lamps.indexOf(cast e.currentTarget);
		toggle(i);
		if (allOn()) {
			party = 90;
			for (l in lamps)
				Kit.sparkle(this, l.x + 35, l.y + 35, 0xFFE45C, 4);
		}
	}

	function tick(_) {
		frame++;
		moon.y = 60 + Math.sin(frame / 30) * 4;
		for (i in 0...lamps.length) {
			var g = lamps[i].graphics;
			g.clear();
			g.beginFill(0x000000, 0.25);
			g.drawRoundRect(3, 5, 72, 72, 20, 20);
			g.endFill();
			if (on[i]) {
				var glow = 0.8 + Math.sin(frame / 6 + i) * 0.2;
				g.beginFill(0xFFE45C, 0.35 * glow);
				g.drawRoundRect(-4, -4, 80, 80, 26, 26);
				g.endFill();
				g.beginFill(party > 0 ? Kit.colours[(i + Std.int(frame / 5)) % Kit.colours.length] : 0xFFD23F);
			} else {
				g.beginFill(0x56617F);
			}
			g.drawRoundRect(0, 0, 72, 72, 20, 20);
			g.endFill();
			g.beginFill(0xFFFFFF, on[i] ? 0.5 : 0.15);
			g.drawEllipse(14, 10, 26, 14);
			g.endFill();
		}
		if (party > 0 && --party == 0)
			scramble();
	}

	static function main() {
		Kit.start(new LightsOut());
	}
}
