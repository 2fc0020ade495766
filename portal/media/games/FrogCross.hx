import flash.display.Sprite;
import flash.events.Event;
import flash.ui.Keyboard;

/** Help the frog hop across the river on the floating logs (arrow keys). */
class FrogCross extends Sprite {
	static inline var ROW = 50;
	static inline var ROWS = 7; // row 0: far bank, 1-5: water, 6: near bank

	var logs:Array<{s:Sprite, row:Int, w:Float, v:Float}> = [];
	var frog = new Sprite();
	var row = 6;
	var fx = 275.0;
	var delay = 0;
	var frame = 0;
	var splash = 0;
	var score:flash.text.TextField;
	var crossed = 0;
	var ripples = new Sprite();

	public function new() {
		super();
		var top = 25;
		graphics.beginFill(0x7CB342);
		graphics.drawRect(0, 0, Kit.W, Kit.H);
		graphics.endFill();
		graphics.beginFill(0x29B6F6);
		graphics.drawRect(0, top + ROW, Kit.W, ROW * 5);
		graphics.endFill();
		addChild(ripples);
		var speeds = [0, 1.2, -1.6, 1.0, -2.0, 1.4];
		for (r in 1...6)
			for (k in 0...3) {
				var w = 90 + Kit.rand(50);
				var s = new Sprite();
				s.graphics.beginFill(0x8D6E63);
				s.graphics.drawRoundRect(0, 6, w, ROW - 12, 20, 20);
				s.graphics.endFill();
				s.graphics.beginFill(0xA1887F);
				s.graphics.drawEllipse(w - 18, 10, 14, ROW - 20);
				s.graphics.endFill();
				s.x = k * 200 + Kit.rand(60);
				s.y = top + r * ROW;
				addChild(s);
				logs.push({s: s, row: r, w: w, v: speeds[r]});
			}
		var g = frog.graphics;
		Kit.fillEach(g, 0x43A047, [
			function(g) g.drawEllipse(-22, 6, 14, 10),
			function(g) g.drawEllipse(8, 6, 14, 10),
			function(g) g.drawEllipse(-18, -14, 36, 30)
		]);
		g.beginFill(0xFFFFFF);
		g.drawCircle(-8, -14, 7);
		g.drawCircle(8, -14, 7);
		g.endFill();
		g.beginFill(0x222222);
		g.drawCircle(-8, -15, 3);
		g.drawCircle(8, -15, 3);
		g.endFill();
		addChild(frog);
		score = Kit.scoreBox(this, Kit.W - 125, 0, 0x43A047);
		score.parent.scaleX = score.parent.scaleY = 0.6;
		score.parent.x = Kit.W - 75;
		Kit.arrowHint(graphics, 8, Kit.H - 34, [0, 1, 2, 3]);
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function logUnder():{s:Sprite, row:Int, w:Float, v:Float} {
		for (l in logs)
			if (l.row == row && fx > l.s.x + 5 && fx < l.s.x + l.w - 5)
				return l;
		return null;
	}

	function tick(_) {
		frame++;
		var rg = ripples.graphics;
		rg.clear();
		rg.lineStyle(2, 0xFFFFFF, 0.4);
		for (i in 0...10) {
			var x = (i * 97 + frame) % Kit.W;
			var y = 25 + ROW + 10 + (i * 53) % (ROW * 5 - 20);
			rg.moveTo(x, y);
			rg.lineTo(x + 14, y);
		}
		for (l in logs) {
			l.s.x += l.v;
			if (l.v > 0 && l.s.x > Kit.W)
				l.s.x = -l.w;
			if (l.v < 0 && l.s.x < -l.w)
				l.s.x = Kit.W;
		}
		if (splash > 0) {
			// fell in: a splash, then back to the near bank
			frog.alpha = splash % 6 < 3 ? 0.3 : 1;
			if (--splash == 0) {
				row = 6;
				fx = 275;
				frog.alpha = 1;
			}
		} else {
			if (delay > 0)
				delay--;
			else {
				var moved = true;
				if (Kit.isDown(Keyboard.UP) && row > 0) row--;
				else if (Kit.isDown(Keyboard.DOWN) && row < 6) row++;
				else if (Kit.isDown(Keyboard.LEFT)) fx = Math.max(20, fx - 40);
				else if (Kit.isDown(Keyboard.RIGHT)) fx = Math.min(Kit.W - 20, fx + 40);
				else moved = false;
				if (moved)
					delay = 7;
			}
			if (row >= 1 && row <= 5) {
				var l = logUnder();
				if (l == null)
					splash = 24;
				else
					fx += l.v;
				if (fx < 0 || fx > Kit.W)
					splash = 24;
			}
			if (row == 0) {
				crossed++;
				score.text = Std.string(crossed);
				Kit.sparkle(this, fx, 25 + ROW / 2, 0x43A047, 12);
				row = 6;
				fx = 275;
			}
		}
		frog.x = fx;
		frog.y += (25 + row * ROW + ROW / 2 - frog.y) * 0.5;
		frog.scaleX = frog.scaleY = 1 + (delay > 4 ? 0.2 : 0);
	}

	static function main() {
		Kit.start(new FrogCross());
	}
}
